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

KeyringRead readSecret(const QString& key) { return keyringInUse() ? installed().read(key) : KeyringRead{}; }
bool storeSecret(const QString& key, const QString& value) {
    return installed().store && installed().store(key, value);
}
KeyringRead readSmtpPassword() { return readSecret(QStringLiteral("SMTP-Kennwort")); }
bool storeSmtpPassword(const QString& password) { return storeSecret(QStringLiteral("SMTP-Kennwort"), password); }
KeyringRead readMailboxPassword() { return readSecret(QStringLiteral("Posteingang-Kennwort")); }
bool storeMailboxPassword(const QString& password) {
    return storeSecret(QStringLiteral("Posteingang-Kennwort"), password);
}

}  // namespace gd
