// Offers a MailStore through the Outlook object model.
#pragma once

#include <memory>

#include "outlook/mail_store.h"
#include "outlook/object_model.h"

namespace trovex::store {

// An application whose active explorer shows `current`, a folder of
// `store` (nullptr: the store's top folder). The objects it hands out keep
// the store alive.
std::unique_ptr<outlook::Application> MakeStoreApplication(std::shared_ptr<const MailStore> store,
                                                          const StoreFolder* current = nullptr);

}  // namespace trovex::store
