// Passwords in the desktop's secret store (GNOME Keyring, KWallet's Secret Service, ...)
// through libsecret.
#pragma once

#include <memory>

#include "onvif/account_store.h"

namespace vdz::onvif {

// True when a Secret Service answers on the session bus (running or activatable). No session
// bus, as on a bare console or in CI without one, gives false at once.
bool SecretServiceAvailable();

// Each account is one item of the default collection, found by the attributes
// application=viduzaver and user=<name>.
std::unique_ptr<SecretStore> MakeLibsecretStore();

}  // namespace vdz::onvif
