#include "app/modGlobal.h"

#include <QCoreApplication>
#include <QDir>

#include "app/modFunktions.h"
#include "errors/CallStack.h"
#include "import/Keywords.h"
#include "settings/Crypt.h"
#include "settings/modIni.h"

namespace gd {

QString AppPath() {
    QString home = qEnvironmentVariable("GAVELDESK_HOME");
    if (home.isEmpty() && QCoreApplication::instance()) home = QCoreApplication::applicationDirPath();
    if (home.isEmpty()) home = QDir::currentPath();
    while (home.size() > 1 && (home.endsWith(QLatin1Char('/')) || home.endsWith(QLatin1Char('\\')))) home.chop(1);
    return home;
}

QString ExeName() { return QStringLiteral("gaveldesk"); }
QString configIniPath() { return AppPath() + QStringLiteral("/bin/config.ini"); }
QString vorlagenIniPath() { return AppPath() + QStringLiteral("/bin/Vorlagen.ini"); }

std::span<const Setting> settingsTable() {
    using K = Setting::Kind;
    static const std::array<Setting, 20> table = {{
        {"User", "Username", nullptr, "", K::Text, &gsEbayName},
        {"Main", "GavelBrowser", nullptr, "True", K::Boolean, &gbBrowser},
        {"User", "username", nullptr, "", K::Text, &gsStandardUser},
        {"Konto", "Standardkontonummer", "Standardkontonummer", "", K::Text, &gsKontonummer},
        {"Konto", "Standardbank", "Standardbank", "", K::Text, &gsBank},
        {"Konto", "Standardkontoinhaber", "Standardkontoinhaber", "", K::Text, &gsKontoinhaber},
        {"Konto", "StandardBLZ", "StandardBLZ", "", K::Text, &gsBLZ},
        {"Konto", "versicherterversand", "versicherterversand", "", K::Text, &gsVersicherterVersand},
        {"Main", "HTTPLink1", "HTTPLink1", "", K::Text, &gsHTTPLink1},
        {"Main", "HTTPlink2", "HTTPLink2", "", K::Text, &gsHTTPLink2},
        {"Konto", "prozent20", "Prozent20", "0", K::Number, &glProzent20},
        {"Konto", "nobody", "nobody", "0", K::Number, &glNobody},
        {"Konto", "Standardversandmail", "Standardversandmail", "True", K::Boolean, &gbStandardversandmail},
        {"Konto", "SMTPServer", "SMTPServer", "", K::Text, &gsSMTPServer},
        {"Konto", "SMTPPort", "SMTPPort", "25", K::NumberStrict, &glSMTPPort},
        {"Konto", "Absender", "Absender", "", K::Text, &gsAbsender},
        {"Konto", "Kopie", "Kopie", "1", K::NumberStrict, &glKopie},
        {"Konto", "Auth", "Auth", "0", K::NumberStrict, &glAuth},
        {"Konto", "Konto", "Konto", "", K::Text, &gsSMTPUser},
        {"Konto", "Kennwort", "Kennwort", "", K::Password, &gsKennwort},
    }};
    return table;
}

namespace {

void readSetting(const Setting& s, const QString& ini) {
    const QString deflt = QString::fromLatin1(s.deflt);
    const QString v = funIni_GetString(ini, QString::fromLatin1(s.section), QString::fromLatin1(s.key), deflt, false);
    switch (s.kind) {
        case Setting::Kind::Text:
            *static_cast<QString*>(s.global) = v;
            break;
        case Setting::Kind::Password:
            *static_cast<QString*>(s.global) = Crypt(v, kPasswordKey, false);
            break;
        case Setting::Kind::Boolean:
            // Neither a Boolean nor a number: the default holds.
            *static_cast<bool*>(s.global) = textToBool(v).value_or(*textToBool(deflt));
            break;
        case Setting::Kind::Number: {
            bool ok = false;
            germanLocale().toDouble(v.trimmed(), &ok);
            if (ok) {
                *static_cast<qint32*>(s.global) = funCLng(v);
            } else if (auto b = textToBool(v)) {
                *static_cast<qint32*>(s.global) = *b ? 1 : 0;
            } else {
                *static_cast<qint32*>(s.global) = funCLng(deflt);
            }
            break;
        }
        case Setting::Kind::NumberStrict:
            *static_cast<qint32*>(s.global) = funCLng(v);
            break;
    }
}

}  // namespace

void subInitApp() {
    CALLSTACK();
    gsDataSource = funcGetDataSource();
    gsKeywordIni = AppPath() + QStringLiteral("/bin/") + ExeName() + QStringLiteral(".ini");
    const QString ini = configIniPath();
    for (const Setting& s : settingsTable()) readSetting(s, ini);

    const QString domain = QString::fromLatin1(kPlattformDomain);
    const QString prefix = QString::fromLatin1(kClickPrefix);
    gsItemLink = prefix + QStringLiteral("http://cgi.") + domain +
                 QStringLiteral("/ws/eBayISAPI.dll?ViewItem%26item=[#Artikel#]%26rd=1");
    gsFeedbackLink = prefix + QStringLiteral("http://feedback.") + domain +
                     QStringLiteral("/ws1/eBayISAPI.dll?GetAndShowTransactions%26item=0%26page=1%26nflw=1");
    gsPlattform = funIni_GetString(ini, QStringLiteral("Main"), QStringLiteral("Plattform"), domain, false);
    gsItemLink.replace(domain, gsPlattform, Qt::CaseSensitive);
    gsFeedbackLink.replace(domain, gsPlattform, Qt::CaseSensitive);

    subGetFelder();
}

}  // namespace gd
