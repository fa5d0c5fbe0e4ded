#pragma once
// The SMTP password in the desktop's Secret Service (GNOME Keyring, KWallet) when
// the session offers one; without one the settings file keeps it, scrambled, as before.

#include <QString>

namespace gd {

struct KeyringRead {
    bool service = false;  // a Secret Service answered
    bool found = false;
    QString password;
};

// Waits for the service at most a few seconds; no service answers at once.
KeyringRead readSmtpPassword();
// False when there is no service or it refused: the caller keeps the file's way.
bool storeSmtpPassword(const QString& password);

}  // namespace gd
