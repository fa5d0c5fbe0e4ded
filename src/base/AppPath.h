#pragma once
// Where the program finds its files: the application folder and the names in it.

#include <QString>

#include "base/Result.h"

namespace gd {

// The folder the program reads and writes, without trailing separator: $GAVELDESK_HOME;
// else the executable's folder when it holds bin/ and may be written (a build, a copy
// on a stick); else the user's data folder (the installed program).
QString AppPath();
// $XDG_DATA_HOME/gaveldesk, by default ~/.local/share/gaveldesk; on Windows %APPDATA%\Gaveldesk.
QString userDataFolder();
// Where a package puts the defaults: <prefix>/share/gaveldesk beside <prefix>/bin.
QString shippedDefaultsFolder();
// The user's data folder on first start: bin/ and Help/ copied from the shipped
// defaults, files already there kept. Nothing to do for any other folder.
Status prepareAppFolder();
// "gaveldesk": the keyword file is bin/gaveldesk.ini, the database gaveldesk.mdb.
QString ExeName();
QString configIniPath();    // AppPath + "/bin/config.ini"
QString vorlagenIniPath();  // AppPath + "/bin/Vorlagen.ini"
QString keywordIniPath();   // AppPath + "/bin/" + ExeName + ".ini"
// The database a new installation gets: AppPath + "/" + ExeName + ".mdb".
QString defaultDatabasePath();
// Where file dialogs start: the user's documents folder ("Dokumente"), else the home folder.
QString documentsFolder();

}  // namespace gd
