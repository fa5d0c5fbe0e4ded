#pragma once
// The SMTP password in the desktop's Secret Service (GNOME Keyring, KWallet) when
// the session offers one; without one the settings file keeps it, scrambled, as before.

#include <QString>
#include <functional>

namespace gd {

struct KeyringRead {
    bool service = false;  // a Secret Service answered
    bool found = false;
    QString password;
};

// The programs that send mail install the desktop's keyring (DesktopKeyring.h). Without
// one the keyring is never asked, and a password kept there stays there untouched: the
// commands that only read and write trades start without the desktop's libraries.
struct KeyringAccess {
    std::function<KeyringRead(const QString& key)> read;
    std::function<bool(const QString& key, const QString& value)> store;  // an empty value removes
};
void useKeyring(KeyringAccess access);
bool keyringInUse();

// Waits for the service at most a few seconds; no service answers at once.
KeyringRead readSecret(const QString& key);
// False when there is no service or it refused: the caller keeps the file's way.
bool storeSecret(const QString& key, const QString& value);
KeyringRead readSmtpPassword();
bool storeSmtpPassword(const QString& password);
KeyringRead readMailboxPassword();
bool storeMailboxPassword(const QString& password);

}  // namespace gd
