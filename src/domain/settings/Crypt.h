#pragma once
// Scrambling of the SMTP password: XOR with a fixed key, two hex digits a character.

#include <QString>

namespace gd {

extern const QString kPasswordKey;  // the key both the loader and the options dialog use
extern const QString kCryptError;   // what an unreadable stored password unscrambles to

QString Crypt(const QString& Inp, const QString& Key, bool mode);

}  // namespace gd
