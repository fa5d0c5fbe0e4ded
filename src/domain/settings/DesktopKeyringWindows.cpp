#include <windows.h>
// windows.h first: wincred.h builds on it.
#include <wincred.h>

#include <string>

#include "domain/settings/DesktopKeyring.h"

namespace gd {
namespace {

// One generic credential per key in the user's Credential Manager ("Anmeldeinformationsverwaltung").
std::wstring target(const QString& key) { return QString(QStringLiteral("gaveldesk/") + key).toStdWString(); }

KeyringRead readWindows(const QString& key) {
    KeyringRead r;
    PCREDENTIALW found = nullptr;
    const std::wstring name = target(key);
    if (CredReadW(name.c_str(), CRED_TYPE_GENERIC, 0, &found)) {
        r.service = r.found = true;
        r.password = QString::fromUtf8(reinterpret_cast<const char*>(found->CredentialBlob),
                                       qsizetype(found->CredentialBlobSize));
        SecureZeroMemory(found->CredentialBlob, found->CredentialBlobSize);
        CredFree(found);
    } else {
        r.service = GetLastError() == ERROR_NOT_FOUND;
    }
    return r;
}

bool storeWindows(const QString& key, const QString& password) {
    const std::wstring name = target(key);
    if (password.isEmpty()) return CredDeleteW(name.c_str(), CRED_TYPE_GENERIC, 0) || GetLastError() == ERROR_NOT_FOUND;
    QByteArray secret = password.toUtf8();
    std::wstring user = L"gaveldesk";
    CREDENTIALW c{};
    c.Type = CRED_TYPE_GENERIC;
    c.TargetName = const_cast<wchar_t*>(name.c_str());
    c.CredentialBlobSize = DWORD(secret.size());
    c.CredentialBlob = reinterpret_cast<LPBYTE>(secret.data());
    c.Persist = CRED_PERSIST_LOCAL_MACHINE;  // this PC only, not roamed to others
    c.UserName = user.data();
    const bool ok = CredWriteW(&c, 0);
    SecureZeroMemory(secret.data(), size_t(secret.size()));
    return ok;
}

}  // namespace

KeyringAccess desktopKeyring() { return {readWindows, storeWindows}; }

}  // namespace gd
