#include "domain/db/Store.h"

#include "domain/db/PgEngine.h"
#include "domain/settings/modGlobal.h"

namespace gd {

Database Store::open() const { return tx ? tx->database() : Database::open(file); }

Store currentStore() { return Store{gsDataSource, gSettings.StandardUser, nullptr}; }

PgLogin settingsLogin() { return PgLogin{gSettings.ServerZertifikat, QString()}; }

}  // namespace gd
