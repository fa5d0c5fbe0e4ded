#pragma once
// The settings, held once, with the names the program knows them by; the one table
// of all settings (read and written through it); and the loader subInitApp.

#include <QObject>
#include <QString>
#include <QStringList>
#include <span>
#include <variant>

#include "base/Result.h"
#include "base/profile.h"

namespace gd {

// The values config.ini holds, as one value: what the options dialog edits and
// a test mail uses before anything is saved.
// The seller's packaging until he keeps his own: "name|material|grams" each, ";" between them.
inline constexpr const char* kDefaultPackaging =
    "Karton S|Papier, Pappe, Karton|180;Karton M|Papier, Pappe, Karton|320;Karton L|Papier, Pappe, "
    "Karton|520;Luftpolstertasche|Kunststoffe|25";

struct Settings {
    QString Username;      // the member name, in mails and on new rows
    QString StandardUser;  // the owner of the rows this program shows: Username as loaded
    bool GavelBrowser = true;
    QString Kontonummer, Bank, Kontoinhaber, BLZ, VersicherterVersand, HTTPLink1, HTTPLink2;
    qint32 Prozent20 = 0, Nobody = 0;
    bool Standardversandmail = true;
    QString SMTPServer;
    qint32 SMTPPort = 25;
    QString Absender;
    qint32 Kopie = 1, Auth = 0;
    QString Konto, Kennwort;   // the password in plain text
    QString Anmeldeverfahren;  // "" (password), or the token provider: "Microsoft", "Google"
    QString Plattform;
    bool Fusszeile = true;
    QString Verbindungssicherheit;
    bool KennwortUnverschluesselt = false;
    qint32 SMTPZeitlimit = 120;
    qint32 MahnTage = 7;
    QString IBAN, BIC, Anschrift;
    QString Verpackungen = QString::fromUtf8(kDefaultPackaging);  // [Versand]: the seller's packaging list
    bool Kleinunternehmer = false;
    QString Nummernkreis;            // of the invoices: "RE-{JJJJ}-{NNNN}"
    QString Steuernummer, UstId;     // the seller's tax number and VAT ID
    QString Steuerart;               // without § 19: "", "19", "7" or "25a"
    bool ERechnungFuerAlle = false;  // the e-invoice inside the PDF for private buyers too
    // The tax advisor's numbers, the chart ("03", "04"), the fiscal year's first day ("TTMM"),
    // and the accounts that differ from the chart's: "Erloese19=8400/;Bank=1210/" (account/key).
    QString DatevBerater, DatevMandant, DatevKontenrahmen, DatevWJBeginn, DatevKonten;
    bool DatevFestschreibung = false, DatevZahlungen = true;
    // Limits set by law, one row each so that a change of law is one line: the platforms'
    // report "count;euros;note from count;note from euros", § 19 "last year;this year;warn %".
    QString GrenzeMeldepflicht, GrenzeKleinunternehmer;
    bool TaeglicheSicherung = true;
    bool EigenesKennwort = false;
    bool KennwortImSchluesselbund = false;  // set by writeSettings, not by the dialog
    // The CA certificate file that a database server's certificate must chain to; empty: the system's.
    QString ServerZertifikat;
    // The mailbox the notifications are fetched from ([Posteingang]). Benutzer and Kennwort
    // empty: the sending account's. Ablage empty: a stored mail is only marked as read.
    QString PostServer, PostSicherheit, PostBenutzer, PostKennwort, PostOrdner, PostAblage, PostAbsender;
    qint32 PostPort = 993;
    bool PostKennwortImSchluesselbund = false;
    qint32 PostIntervall = 0;     // minutes between fetches while the window is open; 0: by hand only
    bool PostAutomatisch = true;  // a sure notification is stored without the import dialog
    QString PostLetzterAbruf;     // "JJJJ-MM-TT": the day of the last whole fetch, set by the fetch
};

// The settings in force: held once, here. Until the first subInitApp they are empty,
// zero or false, as the program starts.
inline Settings gSettings = [] {
    Settings s;
    s.GavelBrowser = false;
    s.Standardversandmail = false;
    s.SMTPPort = 0;
    s.Kopie = 0;
    return s;
}();

// Where the data are, found from the settings at load: no setting of the dialog.
inline QString gsDataSource;
inline QString gsKeywordIni;
inline QString gsItemLink;
inline QString gsFeedbackLink;

// Tells whoever shows a setting that the settings changed (a load, a save of the options).
class SettingsSignals final : public QObject {
    Q_OBJECT
signals:
    void changed();
};
SettingsSignals& settingsSignals();
// Puts new settings in force and says so.
void setSettings(const Settings& s);

// One row of the settings table: where a setting lives, how it is read, which
// member of Settings holds it.
struct Setting {
    enum class Kind { Text, Boolean, Number, NumberStrict, Password };
    const char* section;
    const char* key;
    const char* deflt;
    Kind kind;
    bool written;  // the options dialog writes it
    std::variant<QString Settings::*, bool Settings::*, qint32 Settings::*> member;
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
// The settings in force.
inline const Settings& currentSettings() { return gSettings; }

// Built into the link templates; [Main] Plattform replaces it.
inline constexpr const char* kPlattformDomain = "ebay.de";
// The platform of the mails the three base sections read: [Main] Plattform, else kPlattformDomain.
QString mainPlatform(const Settings& s);
inline constexpr const char* kClickPrefix = "http://www.gavelmail.de/weiter.php?partner=gaveldesk&loc=";

// The database path: [Main] Database of config.ini, else the database next to
// the executable when it exists, else empty.
QString funcGetDataSource();
// gsDataSource anew from the settings file (after a database was made or restored).
void reloadDataSource();

// An SMTP account that signs in, but no password: a backup never holds it, so a
// restored installation asks for it once.
bool smtpPasswordMissing();
inline const QString kSmtpPasswordNotInBackup = QStringLiteral(
    "Das Kennwort des E-Mail-Kontos ist aus Sicherheitsgründen nicht in der Datensicherung enthalten. "
    "Bitte tragen Sie es unter Einstellungen, Optionen, Emailversand neu ein.");

// Loads every setting, the database path and the keyword rules. Gives back the
// messages of faulty keyword lines, for the caller to show.
QStringList subInitApp();

}  // namespace gd
