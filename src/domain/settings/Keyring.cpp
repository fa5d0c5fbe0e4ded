#include "domain/settings/Keyring.h"

namespace gd {
namespace {

KeyringAccess& installed() {
    static KeyringAccess access;
    return access;
}

}  // namespace

void useKeyring(KeyringAccess access) { installed() = std::move(access); }
bool keyringInUse() { return bool(installed().read); }

KeyringRead readSmtpPassword() { return keyringInUse() ? installed().read() : KeyringRead{}; }
bool storeSmtpPassword(const QString& password) { return installed().store && installed().store(password); }

}  // namespace gd
