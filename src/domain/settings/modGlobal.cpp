#include "domain/settings/modGlobal.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <type_traits>

#include "base/AppPath.h"
#include "base/CallStack.h"
#include "base/modFunktions.h"
#include "base/profile.h"
#include "domain/settings/Crypt.h"
#include "domain/settings/Keyring.h"
#include "domain/settings/Keywords.h"

namespace gd {

std::span<const Setting> settingsTable() {
    using K = Setting::Kind;
    using S = Settings;
    // The keys as the options dialog writes them; reading ignores letter case.
    // Username is read twice, for the member name and for the owner of the rows.
    static const std::array<Setting, 62> table = {{
        {"User", "Username", "", K::Text, true, &S::Username},
        {"Main", "GavelBrowser", "True", K::Boolean, false, &S::GavelBrowser},
        {"User", "username", "", K::Text, false, &S::StandardUser},
        {"Konto", "Standardkontonummer", "", K::Text, true, &S::Kontonummer},
        {"Konto", "Standardbank", "", K::Text, true, &S::Bank},
        {"Konto", "Standardkontoinhaber", "", K::Text, true, &S::Kontoinhaber},
        {"Konto", "StandardBLZ", "", K::Text, true, &S::BLZ},
        {"Konto", "versicherterversand", "", K::Text, true, &S::VersicherterVersand},
        {"Main", "HTTPLink1", "", K::Text, true, &S::HTTPLink1},
        {"Main", "HTTPLink2", "", K::Text, true, &S::HTTPLink2},
        {"Main", "ServerZertifikat", "", K::Text, true, &S::ServerZertifikat},
        {"Konto", "Prozent20", "0", K::Number, true, &S::Prozent20},
        {"Konto", "nobody", "0", K::Number, true, &S::Nobody},
        {"Konto", "Standardversandmail", "True", K::Boolean, true, &S::Standardversandmail},
        {"Konto", "SMTPServer", "", K::Text, true, &S::SMTPServer},
        {"Konto", "SMTPPort", "25", K::NumberStrict, true, &S::SMTPPort},
        {"Konto", "Absender", "", K::Text, true, &S::Absender},
        {"Konto", "Kopie", "1", K::NumberStrict, true, &S::Kopie},
        {"Konto", "Auth", "0", K::NumberStrict, true, &S::Auth},
        {"Konto", "Konto", "", K::Text, true, &S::Konto},
        {"Konto", "Anmeldeverfahren", "", K::Text, true, &S::Anmeldeverfahren},
        {"Konto", "Kennwort", "", K::Password, true, &S::Kennwort},
        {"Konto", "KennwortImSchluesselbund", "False", K::Boolean, true, &S::KennwortImSchluesselbund},
        {"Konto", "Fusszeile", "True", K::Boolean, true, &S::Fusszeile},
        {"Konto", "Verbindungssicherheit", "", K::Text, true, &S::Verbindungssicherheit},
        {"Konto", "KennwortUnverschluesselt", "False", K::Boolean, true, &S::KennwortUnverschluesselt},
        {"Konto", "SMTPZeitlimit", "120", K::Number, false, &S::SMTPZeitlimit},
        {"Versand", "Verpackungen", kDefaultPackaging, K::Text, false, &S::Verpackungen},
        {"Main", "Plattform", kPlattformDomain, K::Text, false, &S::Plattform},
        {"Mahnung", "Tage", "7", K::Number, true, &S::MahnTage},
        {"Konto", "IBAN", "", K::Text, true, &S::IBAN},
        {"Konto", "BIC", "", K::Text, true, &S::BIC},
        {"Rechnung", "Anschrift", "", K::Text, true, &S::Anschrift},
        {"Rechnung", "Kleinunternehmer", "False", K::Boolean, true, &S::Kleinunternehmer},
        {"Rechnung", "Nummernkreis", "RE-{JJJJ}-{NNNN}", K::Text, true, &S::Nummernkreis},
        {"Rechnung", "Steuernummer", "", K::Text, true, &S::Steuernummer},
        {"Rechnung", "UStIdNr", "", K::Text, true, &S::UstId},
        {"Rechnung", "Steuerart", "", K::Text, true, &S::Steuerart},
        {"Rechnung", "ERechnungFuerAlle", "False", K::Boolean, true, &S::ERechnungFuerAlle},
        {"DATEV", "Beraternummer", "", K::Text, true, &S::DatevBerater},
        {"DATEV", "Mandantennummer", "", K::Text, true, &S::DatevMandant},
        {"DATEV", "Kontenrahmen", "03", K::Text, true, &S::DatevKontenrahmen},
        {"DATEV", "WJBeginn", "0101", K::Text, true, &S::DatevWJBeginn},
        {"DATEV", "Festschreibung", "False", K::Boolean, true, &S::DatevFestschreibung},
        {"DATEV", "Zahlungen", "True", K::Boolean, true, &S::DatevZahlungen},
        {"DATEV", "Konten", "", K::Text, true, &S::DatevKonten},
        {"Grenzen", "Meldepflicht", "30;2000;25;1800", K::Text, true, &S::GrenzeMeldepflicht},
        {"Grenzen", "Kleinunternehmer", "25000;100000;80", K::Text, true, &S::GrenzeKleinunternehmer},
        {"Sicherung", "Taeglich", "True", K::Boolean, true, &S::TaeglicheSicherung},
        // Set by "Datenbank-Kennwort ändern…", not by the options dialog.
        {"Datenbank", "EigenesKennwort", "False", K::Boolean, false, &S::EigenesKennwort},
        {"Posteingang", "Server", "", K::Text, true, &S::PostServer},
        {"Posteingang", "Port", "993", K::NumberStrict, true, &S::PostPort},
        {"Posteingang", "Sicherheit", "SSL", K::Text, true, &S::PostSicherheit},
        {"Posteingang", "Benutzer", "", K::Text, true, &S::PostBenutzer},
        {"Posteingang", "Kennwort", "", K::Password, true, &S::PostKennwort},
        {"Posteingang", "KennwortImSchluesselbund", "False", K::Boolean, true, &S::PostKennwortImSchluesselbund},
        {"Posteingang", "Ordner", "INBOX", K::Text, true, &S::PostOrdner},
        {"Posteingang", "Ablage", "Gaveldesk/Eingelesen", K::Text, true, &S::PostAblage},
        {"Posteingang", "Absender", "", K::Text, true, &S::PostAbsender},
        {"Posteingang", "Intervall", "0", K::Number, true, &S::PostIntervall},
        {"Posteingang", "Automatisch", "True", K::Boolean, true, &S::PostAutomatisch},
        // Set by the fetch, not by the options dialog.
        {"Posteingang", "LetzterAbruf", "", K::Text, false, &S::PostLetzterAbruf},
    }};
    return table;
}

namespace {

QString text(const char* latin1) { return QString::fromLatin1(latin1); }

void readRow(const Setting& row, const win::ProfileSnapshot& file, Settings& s) {
    const QString deflt = text(row.deflt);
    QString buffer;
    const int n = file.GetPrivateProfileString(text(row.section), text(row.key), deflt, buffer, 255);
    const QString v = buffer.left(n);
    switch (row.kind) {
        case Setting::Kind::Text:
            s.*std::get<QString Settings::*>(row.member) = v;
            break;
        case Setting::Kind::Password:
            s.*std::get<QString Settings::*>(row.member) = Crypt(v, kPasswordKey, false);
            break;
        case Setting::Kind::Boolean:
            // Neither a Boolean nor a number: the default holds.
            s.*std::get<bool Settings::*>(row.member) = textToBool(v).value_or(*textToBool(deflt));
            break;
        case Setting::Kind::Number: {
            qint32& target = s.*std::get<qint32 Settings::*>(row.member);
            bool ok = false;
            germanLocale().toDouble(v.trimmed(), &ok);
            if (ok)
                target = funCLng(v);
            else if (auto b = textToBool(v))
                target = *b ? 1 : 0;
            else
                target = funCLng(deflt);
            break;
        }
        case Setting::Kind::NumberStrict:
            s.*std::get<qint32 Settings::*>(row.member) = funCLng(v);
            break;
    }
}

QString writtenText(const Setting& row, const Settings& s) {
    switch (row.kind) {
        case Setting::Kind::Text:
            return s.*std::get<QString Settings::*>(row.member);
        case Setting::Kind::Password:
            return Crypt(s.*std::get<QString Settings::*>(row.member), kPasswordKey, true);
        case Setting::Kind::Boolean:
            return s.*std::get<bool Settings::*>(row.member) ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
        case Setting::Kind::Number:
        case Setting::Kind::NumberStrict:
            return QString::number(s.*std::get<qint32 Settings::*>(row.member));
    }
    return QString();
}

}  // namespace

Settings readSettings(const win::ProfileSnapshot& file) {
    Settings s;
    for (const Setting& row : settingsTable()) readRow(row, file, s);
    return s;
}

Settings readSettings(const QString& iniFile) { return readSettings(win::ProfileSnapshot(iniFile)); }

Status writeSettings(const Settings& s, const QString& iniFile) {
    // The SMTP password goes to the desktop's Secret Service when there is one; the file then
    // holds none. Without a password and nothing stored there, the service is not asked.
    Settings out = s;
    if (!s.Kennwort.isEmpty() || s.KennwortImSchluesselbund) {
        const bool kept = storeSmtpPassword(s.Kennwort);
        // An unreachable keyring with nothing typed keeps pointing there, so a saved
        // password is not forgotten because the service was late at this start.
        out.KennwortImSchluesselbund = kept ? !s.Kennwort.isEmpty() : s.Kennwort.isEmpty();
        if (kept) out.Kennwort.clear();
    }
    if (!s.PostKennwort.isEmpty() || s.PostKennwortImSchluesselbund) {
        const bool kept = storeMailboxPassword(s.PostKennwort);
        out.PostKennwortImSchluesselbund = kept ? !s.PostKennwort.isEmpty() : s.PostKennwort.isEmpty();
        if (kept) out.PostKennwort.clear();
    }
    QList<win::ProfileWrite> writes;
    for (const Setting& row : settingsTable())
        if (row.written) writes.append({text(row.section), text(row.key), writtenText(row, out)});
    const Status written = win::writeProfileStrings(writes, iniFile);
    if (!written.ok())
        return Error::plain(
            QStringLiteral("Die Einstellungen können nicht gespeichert werden: Die Datei '%1' kann "
                           "nicht geschrieben werden. %2")
                .arg(QDir::toNativeSeparators(QFileInfo(iniFile).absoluteFilePath()), written.error().description));
    return {};
}

SettingsSignals& settingsSignals() {
    static SettingsSignals signals_;
    return signals_;
}

void setSettings(const Settings& s) {
    gSettings = s;
    emit settingsSignals().changed();
}

QString connectionSecurity(const Settings& s) {
    for (const char* known : {"STARTTLS", "SSL/TLS", "Keine"})
        if (s.Verbindungssicherheit.trimmed().compare(QString::fromLatin1(known), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known);
    if (s.SMTPPort == 465) return QStringLiteral("SSL/TLS");
    return s.Auth == 1 ? QStringLiteral("STARTTLS") : QStringLiteral("Keine");
}

namespace {

QString dataSourceFrom(const win::ProfileSnapshot& file) {
    QString buffer;
    const int n =
        file.GetPrivateProfileString(QStringLiteral("Main"), QStringLiteral("Database"), QString(), buffer, 255);
    if (n >= 1) return buffer.left(n);
    const QString candidate = defaultDatabasePath();
    return QFileInfo::exists(candidate) ? candidate : QString();
}

}  // namespace

QString funcGetDataSource() {
    CALLSTACK_MODULE("modFunktions");
    return dataSourceFrom(win::ProfileSnapshot(configIniPath()));
}

void reloadDataSource() { gsDataSource = funcGetDataSource(); }

bool smtpPasswordMissing() {
    return gSettings.Auth != 0 && !gSettings.Konto.trimmed().isEmpty() && gSettings.Kennwort.isEmpty() &&
           !gSettings.KennwortImSchluesselbund && gSettings.Anmeldeverfahren.isEmpty();
}

QStringList subInitApp() {
    CALLSTACK();
    QStringList messages;
    gsKeywordIni = keywordIniPath();
    // One read of the settings file for everything at start.
    const QFileInfo config(configIniPath());
    const bool tooLarge = config.size() > kMaxSettingsFileBytes;
    if (tooLarge)
        messages << QStringLiteral(
                        "Die Einstellungsdatei '%1' ist größer als 1 MB und wird nicht gelesen; es gelten "
                        "die Standardeinstellungen.")
                        .arg(QDir::toNativeSeparators(config.absoluteFilePath()));
    const win::ProfileSnapshot file(tooLarge ? QString() : config.absoluteFilePath());
    setSettings(readSettings(file));
    // A password the options put in the desktop's keyring; a keyring that does not answer is said.
    const auto fromKeyring = [&messages](bool kept, KeyringRead (*read)(), QString& password, const QString& missing) {
        if (!kept || !keyringInUse()) return;
        const KeyringRead r = read();
        if (r.found)
            password = r.password;
        else
            messages << missing;
    };
    fromKeyring(gSettings.KennwortImSchluesselbund, readSmtpPassword, gSettings.Kennwort,
                QStringLiteral("Das SMTP-Kennwort liegt im Schlüsselbund des Desktops, der gerade nicht erreichbar "
                               "ist; bitte tragen Sie es unter Einstellungen, Emailversand neu ein."));
    fromKeyring(gSettings.PostKennwortImSchluesselbund, readMailboxPassword, gSettings.PostKennwort,
                QStringLiteral("Das Kennwort des Posteingangs liegt im Schlüsselbund des Desktops, der gerade nicht "
                               "erreichbar ist; bitte tragen Sie es unter Einstellungen, Optionen, Posteingang neu "
                               "ein."));
    gsDataSource = dataSourceFrom(file);

    const QString domain = QString::fromLatin1(kPlattformDomain);
    const QString prefix = QString::fromLatin1(kClickPrefix);
    gsItemLink = prefix + QStringLiteral("http://cgi.") + domain +
                 QStringLiteral("/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1");
    gsFeedbackLink = prefix + QStringLiteral("http://feedback.") + domain +
                     QStringLiteral("/ws1/eBayISAPI.dll?GetAndShowTransactions%26item=0%26page=1%26nflw=1");
    gsItemLink.replace(domain, gSettings.Plattform, Qt::CaseSensitive);
    gsFeedbackLink.replace(domain, gSettings.Plattform, Qt::CaseSensitive);

    return messages + subGetFelder();
}

QString mainPlatform(const Settings& s) {
    return s.Plattform.trimmed().isEmpty() ? QString::fromLatin1(kPlattformDomain) : s.Plattform.trimmed();
}

}  // namespace gd
