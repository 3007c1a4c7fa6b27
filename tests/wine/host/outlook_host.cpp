#include "host/outlook_host.h"

#include <gtest/gtest.h>

#include "host/host_object.h"
#include "host/host_state.h"
#include "host/outlook_events.h"
#include "host/outlook_objects.h"

namespace trovex::wine_host {

OutlookHost::OutlookHost(std::shared_ptr<const store::MailStore> store, const store::StoreFolder* current)
    : state_(std::make_shared<HostState>()) {
  state_->store = std::move(store);
  state_->currentFolder = current;
  app_ = NewApplication(state_);
}

OutlookHost::~OutlookHost() {
  if (!state_->sinks.empty())
    ADD_FAILURE() << state_->sinks.size() << " ApplicationEvents sink(s) still advised when Outlook ends";
  // Sinks go before the objects, as Outlook drops its connections first.
  auto sinks = std::move(state_->sinks);
  sinks.clear();
  addInInstance_.Reset();
  app_.Reset();
}

IDispatch* OutlookHost::AddInInstance() {
  if (!addInInstance_) addInInstance_ = NewComAddIn(state_);
  return addInInstance_.Get();
}

win32::ComPtr<IDispatch> OutlookHost::AddInObject() const {
  return addInInstance_ ? KeptAddInObject(addInInstance_.Get()) : nullptr;
}

void OutlookHost::SetVersion(std::wstring version) { state_->version = std::move(version); }

void OutlookHost::SetCurrentFolder(const store::StoreFolder* folder) { state_->currentFolder = folder; }

void OutlookHost::SetSenderEmailType(const store::StoreMail& mail, std::string type) {
  state_->senderEmailTypes[&mail] = std::move(type);
}

void OutlookHost::SetMailProperty(const store::StoreMail& mail, std::uint32_t tag, outlook::PropertyValue value) {
  state_->mailProperties[&mail][tag] = std::move(value);
}

HRESULT OutlookHost::FireQuit() {
  std::vector<DWORD> cookies;
  for (const auto& s : state_->sinks) cookies.push_back(s.cookie);
  HRESULT first = S_OK;
  for (DWORD cookie : cookies) {
    win32::ComPtr<IDispatch> sink;
    for (const auto& s : state_->sinks) {
      if (s.cookie == cookie) sink = s.events.Share();
    }
    if (!sink) continue;
    DISPPARAMS none{};
    const HRESULT hr = sink->Invoke(kDispidQuit, IID_NULL, LOCALE_USER_DEFAULT,
                                    DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    if (FAILED(hr) && first == S_OK) first = hr;
  }
  return first;
}

size_t OutlookHost::AdvisedSinks() const { return state_->sinks.size(); }

long OutlookHost::LiveObjects() const { return LiveHostObjects(state_.get()); }

long OutlookHost::ReferencesHeld() const {
  return ReferencesOn(state_.get()) - (app_ ? 1 : 0) - (addInInstance_ ? 1 : 0);
}

const std::vector<std::string>& OutlookHost::Calls() const { return state_->calls; }

void OutlookHost::ClearCalls() { state_->calls.clear(); }

}  // namespace trovex::wine_host
