// What all objects of one Outlook host share. Kept alive by every object,
// so an object that outlives the host (a leak the test reports) stays safe
// to call.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "outlook/mail_store.h"
#include "support/win32/com_ptr.h"

namespace trovex::wine_host {

struct HostState {
  std::shared_ptr<const store::MailStore> store;
  const store::StoreFolder* currentFolder = nullptr;
  std::wstring version = L"16.0.0.0";
  // SenderEmailType per mail; "SMTP" for the others.
  std::map<const store::StoreMail*, std::string> senderEmailTypes;
  // What a mail's PropertyAccessor answers (StoreMail has no properties).
  std::map<const store::StoreMail*, std::map<std::uint32_t, outlook::PropertyValue>> mailProperties;

  // Outlook's user-interface thread: every call must come on it.
  DWORD thread = ::GetCurrentThreadId();
  // "Object.Member" of every Invoke, in order.
  std::vector<std::string> calls;

  struct Sink {
    DWORD cookie;
    win32::ComPtr<IDispatch> events;
  };
  // Advised ApplicationEvents_11 sinks.
  std::vector<Sink> sinks;
  DWORD nextCookie = 1;
};

}  // namespace trovex::wine_host
