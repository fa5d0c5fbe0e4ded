#pragma once
// Where the trades are kept, as the options set it: a file for one seat, or a team's
// PostgreSQL server ("postgresql://user@host/db") with its CA certificate and the password in
// the keyring.

#include <QString>

#include "base/Result.h"

namespace gd {

struct DataSourceChoice {
    QString source;    // a file's path or a server's address
    QString caFile;    // the CA certificate the server's must chain to; empty: the system's
    QString password;  // for the server's user; empty: the one kept stays
};

// Connects with the choice as given, nothing saved; the German reason when it fails.
Status checkDataSource(const DataSourceChoice& c);
// Saves the choice into the settings file ([Main] Database, ServerZertifikat) and the password
// into the keyring (the settings in force are the caller's to renew); a password and no keyring is refused (it never
// goes into a file here).
Status saveDataSource(const DataSourceChoice& c, const QString& configIni);

}  // namespace gd
