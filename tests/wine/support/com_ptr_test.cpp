#include "support/win32/com_ptr.h"

#include <gtest/gtest.h>

#include "support/win32/win32_handles.h"

namespace trovex::win32 {
namespace {

// Counts references; answers IUnknown only.
class Counted final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;  // the test's own, never released
};

TEST(ComPtr, EveryReferenceIsReleasedOnce) {
  Counted object;
  {
    ComPtr<IUnknown> a = ComPtr<IUnknown>::AddRefOf(&object);
    EXPECT_EQ(object.refs, 2u);
    ComPtr<IUnknown> b = a.Share();
    EXPECT_EQ(object.refs, 3u);
    ComPtr<IUnknown> c = std::move(b);  // a move takes no reference
    EXPECT_FALSE(b);
    EXPECT_EQ(object.refs, 3u);
    c = std::move(a);  // the overwritten reference goes
    EXPECT_EQ(object.refs, 2u);
    ComPtr<IUnknown> asked;
    EXPECT_EQ(c.As(IID_IUnknown, asked), S_OK);
    EXPECT_EQ(object.refs, 3u);
    ComPtr<IDispatch> missing;
    EXPECT_EQ(c.As(IID_IDispatch, missing), E_NOINTERFACE);
    EXPECT_FALSE(missing);
    asked.Reset();
    EXPECT_EQ(object.refs, 2u);
    IUnknown* raw = c.Detach();  // leaves the reference to the caller
    EXPECT_EQ(object.refs, 2u);
    ComPtr<IUnknown> attached = ComPtr<IUnknown>::Attach(raw);
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);
}

TEST(UniqueVariant, ClearingReleasesTheObjectOnce) {
  Counted object;
  {
    unique_variant v;
    v.Get().vt = VT_UNKNOWN;
    v.Get().punkVal = ComPtr<IUnknown>::AddRefOf(&object).Detach();
    unique_variant moved = std::move(v);
    EXPECT_EQ(v.Type(), VT_EMPTY);
    EXPECT_EQ(object.refs, 2u);
  }
  EXPECT_EQ(object.refs, 1u);
}

}  // namespace
}  // namespace trovex::win32
