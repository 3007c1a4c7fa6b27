// The one late-bound client: arguments reach the object in the caller's
// order, a put goes as Automation wants it, and every way an object fails
// becomes one DispatchError with the object's own words and code.
#include "support/win32/dispatch_client.h"

#include <gtest/gtest.h>

#include <optional>

#include "outlook/fake_dispatch.h"

namespace trovex::win32 {
namespace {

using testing::FakeDispatch;

HRESULT STDAPICALLTYPE FillLater(EXCEPINFO* e) {
  e->bstrDescription = ::SysAllocString(L"Sp\u00e4ter ausgef\u00fcllt");
  e->scode = E_ABORT;
  return S_OK;
}

// Leaves an error object on the thread, as a failing object may.
void SetThreadErrorInfo(const wchar_t* description) {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(S_OK, ::CreateErrorInfo(create.Put()));
  create->SetDescription(const_cast<LPOLESTR>(description));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(S_OK, create.As(IID_IErrorInfo, info));
  ::SetErrorInfo(0, info.Get());
}

bool ThreadErrorInfoLeft() {
  ComPtr<IErrorInfo> info;
  return ::GetErrorInfo(0, info.Put()) == S_OK && info;
}

// Keeps the DISPPARAMS of the last Invoke as the object saw them.
class RecordingDispatch final : public IDispatch {
 public:
  WORD flags = 0;
  std::vector<std::wstring> rawArgs;  // as DISPPARAMS holds them: last first
  std::vector<DISPID> named;
  bool wantsResult = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ids[0] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD f, DISPPARAMS* p, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    flags = f;
    rawArgs.clear();
    for (UINT i = 0; i < p->cArgs; ++i) {
      const VARIANT& v = p->rgvarg[i];
      rawArgs.push_back(v.vt == VT_BSTR ? std::wstring(v.bstrVal) : std::to_wstring(v.lVal));
    }
    named.assign(p->rgdispidNamedArgs, p->rgdispidNamedArgs + p->cNamedArgs);
    wantsResult = result != nullptr;
    return S_OK;
  }
};

TEST(DispatchClient, ArgumentsArriveInTheCallersOrderAndPutsAsNamedArguments) {
  RecordingDispatch object;
  const unique_variant args[] = {TextVariant("Ziel"), IntVariant(2), TextVariant(L"\u00e4")};
  CallMethod(&object, "Move", args);
  EXPECT_EQ(DISPATCH_METHOD, object.flags);
  EXPECT_EQ((std::vector<std::wstring>{L"\u00e4", L"2", L"Ziel"}), object.rawArgs);
  EXPECT_EQ(std::vector<DISPID>{}, object.named);
  EXPECT_TRUE(object.wantsResult);

  PutProperty(&object, "Object", IntVariant(1));
  EXPECT_EQ(DISPATCH_PROPERTYPUT, object.flags);
  EXPECT_EQ(std::vector<std::wstring>{L"1"}, object.rawArgs);
  EXPECT_EQ(std::vector<DISPID>{DISPID_PROPERTYPUT}, object.named);
}

TEST(DispatchClient, EveryFailureIsOneErrorWithTheObjectsWordsAndCode) {
  const struct {
    const char* what;
    FakeDispatch::Handler subject;   // nullptr: no such member
    const wchar_t* threadErrorInfo;  // left on the thread by the call, or none
    HRESULT code;
    std::optional<std::string> description;  // nullopt: the system's text, not empty
  } cases[] = {
      // Outlook's usual way: DISP_E_EXCEPTION with its text and code.
      {"EXCEPINFO", testing::RaisesException(E_ACCESSDENIED, L"Zugriff verweigert"), nullptr, E_ACCESSDENIED,
       "Zugriff verweigert"},
      // No code of its own: the call's.
      {"EXCEPINFO without code", testing::RaisesException(0, L"Fehlgeschlagen"), nullptr, DISP_E_EXCEPTION,
       "Fehlgeschlagen"},
      // Filled in only when asked.
      {"deferred EXCEPINFO",
       [](WORD, const std::vector<VARIANT*>&, VARIANT*, EXCEPINFO* e) {
         e->pfnDeferredFillIn = &FillLater;
         return DISP_E_EXCEPTION;
       },
       nullptr, E_ABORT, "Später ausgefüllt"},
      // EXCEPINFO's words win over a thread error object, which is taken
      // all the same so that it cannot be blamed on a later call.
      {"EXCEPINFO and IErrorInfo", testing::RaisesException(E_FAIL, L"Aus EXCEPINFO"), L"Aus IErrorInfo", E_FAIL,
       "Aus EXCEPINFO"},
      {"IErrorInfo", testing::FailsWithErrorInfo(E_ACCESSDENIED, L"Aus IErrorInfo"), nullptr, E_ACCESSDENIED,
       "Aus IErrorInfo"},
      {"bare HRESULT", testing::Fails(E_OUTOFMEMORY), nullptr, E_OUTOFMEMORY, std::nullopt},
      {"unknown member", nullptr, nullptr, DISP_E_UNKNOWNNAME, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDispatch mail("Mail");
    if (c.subject) {
      mail.On("Subject", [&](WORD f, const std::vector<VARIANT*>& a, VARIANT* r, EXCEPINFO* e) {
        if (c.threadErrorInfo) SetThreadErrorInfo(c.threadErrorInfo);
        return c.subject(f, a, r, e);
      });
    }
    try {
      GetProperty(&mail, "Subject");
      ADD_FAILURE() << "no error";
    } catch (const DispatchError& e) {
      EXPECT_EQ(c.code, e.Code());
      EXPECT_EQ("Subject", e.Member());
      if (c.description) {
        EXPECT_EQ(*c.description, e.Description());
      } else {
        EXPECT_FALSE(e.Description().empty());
      }
      EXPECT_EQ("Subject: " + e.Description(), std::string(e.what()));
    }
    EXPECT_FALSE(ThreadErrorInfoLeft());
    EXPECT_EQ(1u, mail.Refs());
  }
  // No object at all.
  EXPECT_EQ(E_POINTER, TryInvoke(nullptr, "Subject", DISPATCH_PROPERTYGET).hr);
  EXPECT_THROW(GetProperty(nullptr, "Subject"), DispatchError);
}

}  // namespace
}  // namespace trovex::win32
