#include "ribbon/win32/ribbon_com.h"

#include <winver.h>

#include <cwctype>
#include <vector>

#include "ribbon/win32/ribbon_images_win32.h"
#include "support/win32/module_file.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"

namespace trovex::ribbon::win32 {

using trovex::win32::ComPtr;
using trovex::win32::ThrowIfFailed;
using trovex::win32::unique_bstr;
using trovex::win32::unique_variant;

namespace {

std::string TextOf(BSTR text) {
  return trovex::win32::Utf8FromBstr(text);
}

}  // namespace

std::string ComRibbonControl::Id() const {
  unique_bstr id;
  ThrowIfFailed(control_->get_Id(id.Put()), "IRibbonControl.Id");
  return TextOf(id.Get());
}

RibbonContext ComRibbonControl::Context() const {
  if (!contextRead_) {
    contextRead_ = true;
    ThrowIfFailed(control_->get_Context(context_.Put()), "IRibbonControl.Context");
  }
  return context_.Get();
}

void ComRibbonUI::Invalidate() { ThrowIfFailed(ui_->Invalidate(), "IRibbonUI.Invalidate"); }

void ComRibbonUI::InvalidateControl(const std::string& controlId) {
  const unique_bstr id = trovex::win32::MakeBstr(trovex::win32::WideFromUtf8(controlId));
  ThrowIfFailed(ui_->InvalidateControl(id.Get()), "IRibbonUI.InvalidateControl");
}

void ComRibbonUI::ActivateTab(const std::string& controlId) {
  const unique_bstr id = trovex::win32::MakeBstr(trovex::win32::WideFromUtf8(controlId));
  ThrowIfFailed(ui_->ActivateTab(id.Get()), "IRibbonUI.ActivateTab");
}

RibbonObject WrapComObject(ComPtr<IUnknown> object) {
  IUnknown* p = object.Detach();
  if (!p) return nullptr;
  return RibbonObject(p, [](void* q) { static_cast<IUnknown*>(q)->Release(); });
}

IUnknown* ComObjectOf(const RibbonObject& object) { return static_cast<IUnknown*>(object.get()); }

CallbackArgument ArgumentFromVariant(const VARIANT& value) {
  unique_variant plain;
  ThrowIfFailed(::VariantCopyInd(&plain.Get(), const_cast<VARIANT*>(&value)), "VariantCopyInd");
  const VARIANT& v = plain.Get();
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return std::monostate();
    case VT_BOOL:
      return v.boolVal != VARIANT_FALSE;
    case VT_BSTR:
      return TextOf(v.bstrVal);
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2: {
      unique_variant number;
      ThrowIfFailed(::VariantChangeType(&number.Get(), &plain.Get(), 0, VT_I4), "VariantChangeType");
      return std::int32_t{number.Get().lVal};
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown* object = v.vt == VT_DISPATCH ? v.pdispVal : v.punkVal;
      if (!object) return std::monostate();
      ComPtr<office::IRibbonControl> control;
      if (SUCCEEDED(object->QueryInterface(office::IID_IRibbonControl, control.PutVoid())) && control) {
        return std::unique_ptr<RibbonControl>(std::make_unique<ComRibbonControl>(std::move(control)));
      }
      ComPtr<office::IRibbonUI> ui;
      if (SUCCEEDED(object->QueryInterface(office::IID_IRibbonUI, ui.PutVoid())) && ui) {
        return std::unique_ptr<RibbonUI>(std::make_unique<ComRibbonUI>(std::move(ui)));
      }
      // Another object (a backstage's context, say): only a callback that
      // needs a control or the ribbon finds fault with it.
      return std::monostate();
    }
    default:
      return std::monostate();
  }
}

CallbackArguments ArgumentsFromDispParams(const DISPPARAMS& params) {
  std::vector<CallbackArgument> reversed;
  reversed.reserve(params.cArgs);
  for (UINT i = 0; i < params.cArgs; ++i) reversed.push_back(ArgumentFromVariant(params.rgvarg[i]));
  return CallbackArguments(std::move(reversed));
}

unique_variant VariantFromValue(const RibbonValue& value) {
  unique_variant result;
  VARIANT& v = result.Get();
  if (const bool* b = std::get_if<bool>(&value)) {
    v.vt = VT_BOOL;
    v.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const std::int32_t* i = std::get_if<std::int32_t>(&value)) {
    v.vt = VT_I4;
    v.lVal = *i;
  } else if (const std::string* s = std::get_if<std::string>(&value)) {
    v.bstrVal = trovex::win32::MakeBstr(trovex::win32::WideFromUtf8(*s)).Release();
    v.vt = VT_BSTR;
  } else if (const RibbonObject* o = std::get_if<RibbonObject>(&value); o && *o) {
    IUnknown* object = ComObjectOf(*o);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) && dispatch) {
      v.vt = VT_DISPATCH;
      v.pdispVal = dispatch;
    } else {
      object->AddRef();
      v.vt = VT_UNKNOWN;
      v.punkVal = object;
    }
  }
  return result;
}

PictureMaker ComPictureMaker() {
  return [](const image::Image& image, int hostMajorVersion) {
    return WrapComObject(MakeRibbonPicture(image, hostMajorVersion));
  };
}

int HostExecutableMajorVersion(int current, OfficeHostApp hostType) {
  std::wstring path;
  try {
    path = trovex::win32::ModuleFileName(nullptr);
  } catch (const trovex::win32::Win32Error&) {
    return current;
  }
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  // Office's out-of-process host for add-ins of other programs.
  if (name == L"dllhost.exe") return hostType == OfficeHostApp::OneNote ? current : 14;

  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return current;
  std::vector<std::byte> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return current;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof *info) {
    return current;
  }
  return static_cast<int>(HIWORD(info->dwFileVersionMS));
}

}  // namespace trovex::ribbon::win32
