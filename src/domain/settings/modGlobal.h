#pragma once
// The settings globals, the one table of all settings (read and written through
// it), and the loader subInitApp.

#include <QString>
#include <QStringList>
#include <span>
#include <variant>

#include "base/Result.h"
#include "base/profile.h"

namespace gd {

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
inline QString gsKennwort;  // plain; stored scrambled, or in the desktop's keyring
inline bool gbKennwortImSchluesselbund = false;  // the SMTP password is in the keyring, not the file
inline QString gsPlattform;
inline bool gbFusszeile = true;  // the "-INFO-" footer under every mail
inline QString gsVerbindungssicherheit;  // "STARTTLS", "SSL/TLS", "Keine"; empty: by port and login
inline bool gbKennwortUnverschluesselt = false;  // the SMTP password may go out without TLS
inline qint32 glSMTPZeitlimit = 120;  // seconds a whole send may take
inline qint32 glMahnTage = 7;  // a sale unpaid this many days after its end is overdue
inline QString gsIBAN;       // as typed; checked by the options dialog
inline QString gsBIC;
inline QString gsAnschrift;  // the seller's address on invoices: "Street 1, 12345 Town"
inline bool gbKleinunternehmer = false;  // invoices say that no VAT is charged (§ 19 UStG)
inline bool gbTaeglicheSicherung = true;  // a backup a day at start, the last seven kept
inline bool gbEigenesKennwort = false;  // the database is under a password of the user's; asked at start
inline QString gsDataSource;
inline QString gsKeywordIni;
inline QString gsItemLink;
inline QString gsFeedbackLink;

// The values config.ini holds, as one value: what the options dialog edits and
// a test mail uses before anything is saved.
struct Settings {
    QString Username;
    bool GavelBrowser = true;
    QString Kontonummer, Bank, Kontoinhaber, BLZ, VersicherterVersand, HTTPLink1, HTTPLink2;
    qint32 Prozent20 = 0, Nobody = 0;
    bool Standardversandmail = true;
    QString SMTPServer;
    qint32 SMTPPort = 25;
    QString Absender;
    qint32 Kopie = 1, Auth = 0;
    QString Konto, Kennwort;  // the password in plain text
    QString Plattform;
    bool Fusszeile = true;
    QString Verbindungssicherheit;
    bool KennwortUnverschluesselt = false;
    qint32 SMTPZeitlimit = 120;
    qint32 MahnTage = 7;
    QString IBAN, BIC, Anschrift;
    bool Kleinunternehmer = false;
    bool TaeglicheSicherung = true;
    bool EigenesKennwort = false;
    bool KennwortImSchluesselbund = false;  // set by writeSettings, not by the dialog
};

// One row of the settings table: where a setting lives, how it is read, which
// member of Settings and which global hold it.
struct Setting {
    enum class Kind { Text, Boolean, Number, NumberStrict, Password };
    const char* section;
    const char* key;
    const char* deflt;
    Kind kind;
    bool written;  // the options dialog writes it
    std::variant<QString Settings::*, bool Settings::*, qint32 Settings::*> member;
    std::variant<QString*, bool*, qint32*> global;
};

// Rows in loading order; Plattform last, as it is read after the links are built.
std::span<const Setting> settingsTable();

// How the SMTP connection is protected: "STARTTLS", "SSL/TLS" or "Keine". A file
// that names none keeps what the program did before: SSL/TLS on port 465,
// STARTTLS with a login, else none.
QString connectionSecurity(const Settings& s);

// Larger settings and keyword files are refused: they are typed by people.
inline constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// Every row from the file; a missing file, section or key gives the default.
Settings readSettings(const QString& iniFile);
Settings readSettings(const win::ProfileSnapshot& file);
// Every row the dialog writes, in one atomic replacement of the file.
Status writeSettings(const Settings& s, const QString& iniFile);
// The globals of every row.
void applySettings(const Settings& s);
Settings currentSettings();

// Built into the link templates; [Main] Plattform replaces it.
inline constexpr const char* kPlattformDomain = "ebay.de";
inline constexpr const char* kClickPrefix = "http://www.gavelmail.de/weiter.php?partner=gaveldesk&loc=";

// The database path: [Main] Database of config.ini, else the database next to
// the executable when it exists, else empty.
QString funcGetDataSource();

// An SMTP account that signs in, but no password: a backup never holds it, so a
// restored installation asks for it once.
bool smtpPasswordMissing();
inline const QString kSmtpPasswordNotInBackup =
    QStringLiteral("Das Kennwort des E-Mail-Kontos ist aus Sicherheitsgründen nicht in der Datensicherung enthalten. "
                   "Bitte tragen Sie es unter Einstellungen, Optionen, Emailversand neu ein.");

// Loads every setting, the database path and the keyword rules. Gives back the
// messages of faulty keyword lines, for the caller to show.
QStringList subInitApp();

}  // namespace gd
