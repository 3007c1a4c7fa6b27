// The ribbon callbacks at the COM edge: Office's IRibbonControl and
// IRibbonUI behind the model's RibbonControl and RibbonUI, VARIANTs to
// callback arguments and values back, COM objects carried in a
// RibbonObject, and the host version the markup is made for.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "office/win32/office_interfaces.h"
#include "ribbon/ribbon_callbacks.h"
#include "support/win32/com_ptr.h"
#include "support/win32/win32_handles.h"

namespace trovex::ribbon::win32 {

// Office's control of one callback. The Context window is read once and
// held for the call.
class ComRibbonControl final : public RibbonControl {
 public:
  explicit ComRibbonControl(trovex::win32::ComPtr<office::IRibbonControl> control) : control_(std::move(control)) {}
  // Throws when Office's call fails.
  std::string Id() const override;
  RibbonContext Context() const override;

 private:
  trovex::win32::ComPtr<office::IRibbonControl> control_;
  mutable trovex::win32::ComPtr<IDispatch> context_;
  mutable bool contextRead_ = false;
};

// Office's ribbon object, kept by the module from onLoad on.
class ComRibbonUI final : public RibbonUI {
 public:
  explicit ComRibbonUI(trovex::win32::ComPtr<office::IRibbonUI> ui) : ui_(std::move(ui)) {}
  void Invalidate() override;
  void InvalidateControl(const std::string& controlId) override;
  void ActivateTab(const std::string& controlId) override;

 private:
  trovex::win32::ComPtr<office::IRibbonUI> ui_;
};

// A COM object as a RibbonObject: one reference, released with the last
// copy. Every RibbonObject the DLL sees holds an IUnknown this way.
RibbonObject WrapComObject(trovex::win32::ComPtr<IUnknown> object);
IUnknown* ComObjectOf(const RibbonObject& object);

// One Invoke argument: Booleans, integers, texts, and Office's control or
// ribbon object (found by QueryInterface); by-reference values are read
// through. Throws CallbackError for a kind no callback takes.
CallbackArgument ArgumentFromVariant(const VARIANT& value);
// The arguments in DISPPARAMS order (the last one first).
CallbackArguments ArgumentsFromDispParams(const DISPPARAMS& params);
// What Office receives: VT_BOOL, VT_I4, VT_BSTR, an object as VT_DISPATCH
// when it has IDispatch (a picture) else VT_UNKNOWN (a stream); nothing
// is VT_EMPTY.
trovex::win32::unique_variant VariantFromValue(const RibbonValue& value);

// The pictures for Office: MakeRibbonPicture's result as a RibbonObject.
PictureMaker ComPictureMaker();

// GetCustomUI's host version: 14 inside dllhost.exe (unless the host is
// OneNote), else the major part of the executable's file version; `current`
// when that cannot be read.
int HostExecutableMajorVersion(int current, OfficeHostApp hostType);

}  // namespace trovex::ribbon::win32
