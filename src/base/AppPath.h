#pragma once
// Where the program finds its files: the application folder and the names in it.

#include <QString>

namespace gd {

// The executable's folder (or $GAVELDESK_HOME), without trailing separator.
QString AppPath();
// "gaveldesk": the keyword file is bin/gaveldesk.ini, the database gaveldesk.mdb.
QString ExeName();
QString configIniPath();    // AppPath + "/bin/config.ini"
QString vorlagenIniPath();  // AppPath + "/bin/Vorlagen.ini"
QString keywordIniPath();   // AppPath + "/bin/" + ExeName + ".ini"
// The database a new installation gets: AppPath + "/" + ExeName + ".mdb".
QString defaultDatabasePath();

}  // namespace gd
