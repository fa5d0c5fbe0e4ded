#include "settings/Optionen.h"

#include <QFileInfo>

#include "app/modFunktions.h"
#include "app/modGlobal.h"
#include "errors/CallStack.h"
#include "settings/Crypt.h"
#include "settings/modIni.h"
#include "smtp/modMail.h"

namespace gd {
namespace {
QString boolText(bool b) { return b ? QStringLiteral("Wahr") : QStringLiteral("Falsch"); }
QString flag(bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); }
}  // namespace

OptionValues optionsFromGlobals() {
    OptionValues v;
    v.Kontoinhaber = gsKontoinhaber;
    v.Kontonummer = gsKontonummer;
    v.BLZ = gsBLZ;
    v.Bank = gsBank;
    v.VersicherterVersand = gsVersicherterVersand;
    v.SMTPServer = gsSMTPServer;
    v.SMTPPort = QString::number(glSMTPPort);
    v.Absender = gsAbsender;
    v.Konto = gsSMTPUser;
    v.Kennwort = gsKennwort;
    v.HTTPLink1 = gsHTTPLink1;
    v.HTTPLink2 = gsHTTPLink2;
    v.Standardversandmail = gbStandardversandmail;
    v.Kopie = glKopie != 0;
    v.Auth = glAuth != 0;
    v.Prozent20 = glProzent20 != 0;
    v.Nobody = glNobody != 0;
    return v;
}

QString checkOptions(const OptionValues& v) {
    bool ok = false;
    const int port = v.SMTPPort.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return QStringLiteral("Der Postausgangsport muss eine Zahl von 1 bis 65535 sein (Standard = 25).");
    return QString();
}

bool saveOptions(const OptionValues& v, QString* error) {
    CALLSTACK_MODULE("frmOptionen");
    const QString bad = checkOptions(v);
    if (!bad.isEmpty()) {
        if (error) *error = bad;
        return false;
    }
    const QString ini = configIniPath();
    struct Entry {
        const char* section;
        const char* key;
        QString value;
    };
    const Entry entries[] = {
        {"Konto", "Standardkontonummer", v.Kontonummer},
        {"Konto", "Standardbank", v.Bank},
        {"Konto", "Standardkontoinhaber", v.Kontoinhaber},
        {"Konto", "StandardBLZ", v.BLZ},
        {"Konto", "Standardversandmail", boolText(v.Standardversandmail)},
        {"Konto", "SMTPServer", v.SMTPServer},
        {"Konto", "SMTPPort", v.SMTPPort.trimmed()},
        {"Konto", "Absender", v.Absender},
        {"Konto", "Kopie", flag(v.Kopie)},
        {"Konto", "Auth", flag(v.Auth)},
        {"Konto", "Konto", v.Konto},
        {"Konto", "Kennwort", Crypt(v.Kennwort, kPasswordKey, true)},
        {"Main", "HTTPLink1", v.HTTPLink1},
        {"Main", "HTTPLink2", v.HTTPLink2},
        {"Konto", "Prozent20", flag(v.Prozent20)},
        {"Konto", "nobody", flag(v.Nobody)},
        // The price the dialog lets the user edit goes to the key the loader reads.
        {"Konto", "versicherterversand", v.VersicherterVersand},
    };
    for (const Entry& e : entries)
        if (!funIni_SetString(ini, QString::fromLatin1(e.section), QString::fromLatin1(e.key), e.value, false)) {
            if (error)
                *error = QStringLiteral("Die Einstellungen können nicht gespeichert werden: Die Datei '%1' ist nicht "
                                        "beschreibbar.")
                             .arg(QFileInfo(ini).absoluteFilePath());
            subInitApp();
            return false;
        }
    subInitApp();
    return true;
}

bool sendTestMail(const OptionValues& v, const QString& to, QString* error) {
    CALLSTACK_MODULE("frmOptionen");
    const QString bad = checkOptions(v);
    if (!bad.isEmpty()) {
        if (error) *error = bad;
        return false;
    }
    if (v.Absender.trimmed().isEmpty() || to.trimmed().isEmpty()) {
        if (error) *error = QStringLiteral("Bitte tragen Sie zuerst die Absender-Emailadresse ein.");
        return false;
    }
    // The edited values for this one send; the saved ones afterwards.
    const QString server = gsSMTPServer, user = gsSMTPUser, pass = gsKennwort;
    const qint32 port = glSMTPPort, auth = glAuth;
    gsSMTPServer = v.SMTPServer;
    glSMTPPort = v.SMTPPort.trimmed().toInt();
    glAuth = v.Auth ? 1 : 0;
    gsSMTPUser = v.Konto;
    gsKennwort = v.Kennwort;
    const QString msg = QStringLiteral("subject: Testmail von Orvo Gaveldesk 2005\r\n") +
                        QStringLiteral("Guten Tag,\r\n\r\ndies ist eine Testmail. Wenn Sie sie lesen, stimmen die "
                                       "SMTP-Einstellungen von Orvo Gaveldesk 2005.\r\n\r\nMit freundlichen Grüßen\r\n");
    const bool ok = Send_SMTP(v.Absender, to, msg, QString());
    gsSMTPServer = server;
    glSMTPPort = port;
    glAuth = auth;
    gsSMTPUser = user;
    gsKennwort = pass;
    if (!ok && error) *error = lastSmtpError();
    return ok;
}

}  // namespace gd
