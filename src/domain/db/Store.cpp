#include "domain/db/Store.h"

#include "domain/settings/modGlobal.h"

namespace gd {

Database Store::open() const { return tx ? tx->database() : Database::open(file); }

Store currentStore() { return Store{gsDataSource, gsStandardUser, nullptr}; }

}  // namespace gd
