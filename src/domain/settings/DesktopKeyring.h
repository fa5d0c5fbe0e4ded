#pragma once
// The desktop's Secret Service through QtKeychain, for the programs that send mail.
#include "domain/settings/Keyring.h"

namespace gd {

KeyringAccess desktopKeyring();

}  // namespace gd
