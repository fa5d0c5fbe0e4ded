#pragma once
// Process-wide settings globals, the one table of all settings, and the loader.

#include <QString>
#include <array>
#include <span>

namespace gd {

// The executable's folder (or $GAVELDESK_HOME), without trailing separator.
QString AppPath();
// "gaveldesk": the keyword file is bin/gaveldesk.ini, the database gaveldesk.mdb.
QString ExeName();
QString configIniPath();     // AppPath + "/bin/config.ini"
QString vorlagenIniPath();   // AppPath + "/bin/Vorlagen.ini"

// The settings globals. They hold empty/zero/false until the first subInitApp,
// and every subInitApp overwrites all of them.
inline QString gsEbayName;
inline bool gbBrowser = false;
inline QString gsStandardUser;
inline QString gsKontonummer;
inline QString gsBank;
inline QString gsKontoinhaber;
inline QString gsBLZ;
inline QString gsVersicherterVersand;
inline QString gsHTTPLink1;
inline QString gsHTTPLink2;
inline qint32 glProzent20 = 0;
inline qint32 glNobody = 0;
inline bool gbStandardversandmail = false;
inline QString gsSMTPServer;
inline qint32 glSMTPPort = 0;
inline QString gsAbsender;
inline qint32 glKopie = 0;
inline qint32 glAuth = 0;
inline QString gsSMTPUser;
inline QString gsKennwort;  // plain; stored scrambled
inline QString gsPlattform;
inline QString gsDataSource;
inline QString gsKeywordIni;
inline QString gsItemLink;
inline QString gsFeedbackLink;

// One row of the settings table: where a setting lives and how it is read.
struct Setting {
    enum class Kind { Text, Boolean, Number, NumberStrict, Password };
    const char* section;
    const char* key;       // as the loader reads it
    const char* writeKey;  // as the options dialog writes it; nullptr when it does not
    const char* deflt;
    Kind kind;
    void* global;          // QString*, bool* or qint32* by kind
};

// Rows 1 to 20 in loading order (row 21, Plattform, is read after the links are built).
std::span<const Setting> settingsTable();

// Built into the link templates; [Main] Plattform replaces it.
inline constexpr const char* kPlattformDomain = "ebay.de";
inline constexpr const char* kClickPrefix = "http://www.gavelmail.de/weiter.php?partner=gaveldesk&loc=";

void subInitApp();

}  // namespace gd
