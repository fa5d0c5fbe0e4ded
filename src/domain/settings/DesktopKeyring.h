#pragma once
// The desktop's keyring for the programs that send mail: the Secret Service through
// QtKeychain (DesktopKeyring.cpp), on Windows the Credential Manager (DesktopKeyringWindows.cpp).
#include "domain/settings/Keyring.h"

namespace gd {

KeyringAccess desktopKeyring();

}  // namespace gd
