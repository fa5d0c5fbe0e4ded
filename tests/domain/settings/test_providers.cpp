// The presets shipped for the big providers, and the refusals a seller is told in plain words.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "domain/settings/Providers.h"

namespace gd {
namespace {

using namespace Qt::StringLiterals;

const QString kShipped = QStringLiteral(GD_RESOURCES_DIR "/bin/anbieter.ini");

TEST(Providers, EveryShippedPresetParsesAndNamesItsSource) {
    QFile f(kShipped);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u"\r\n"_s);
    int sections = 0;
    QStringList imapSourced;  // sections whose mailbox server names its source too
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QLatin1Char('['))) {
            ++sections;
            EXPECT_TRUE(i > 0 && lines[i - 1].startsWith(u"; Quelle"_s)) << lines[i].toStdString();
            bool sending = false, mailbox = false;
            for (qsizetype k = i - 1; k >= 0 && lines[k].startsWith(u"; Quelle"_s); --k) {
                sending = sending || lines[k].startsWith(u"; Quelle: http"_s);
                mailbox = mailbox || lines[k].startsWith(u"; Quelle (IMAP): http"_s);
            }
            EXPECT_TRUE(sending) << lines[i].toStdString();
            if (mailbox) imapSourced << lines[i].mid(1, lines[i].size() - 2);
        }
    const QList<ProviderPreset> presets = readProviderPresets(kShipped);
    EXPECT_EQ(presets.size(), sections);
    EXPECT_GE(sections, 13);
    for (const ProviderPreset& p : presets) {
        SCOPED_TRACE(p.name.toStdString());
        EXPECT_TRUE(QList<int>({465, 587}).contains(p.port));
        EXPECT_TRUE(QStringList({u"STARTTLS"_s, u"SSL/TLS"_s}).contains(p.security));
        EXPECT_TRUE(
            QStringList({u"Kennwort"_s, u"App-Kennwort"_s, u"E-Mail-Passwort"_s, u"Microsoft"_s}).contains(p.signIn));
        EXPECT_TRUE(p.server.contains(QLatin1Char('.')));
        // A mailbox server only with its source, and then whole.
        EXPECT_EQ(!p.imapServer.isEmpty(), imapSourced.contains(p.name));
        if (p.imapServer.isEmpty()) continue;
        EXPECT_TRUE(QList<int>({993, 143}).contains(p.imapPort));
        EXPECT_TRUE(QStringList({u"STARTTLS"_s, u"SSL/TLS"_s}).contains(p.imapSecurity));
        EXPECT_TRUE(p.imapServer.contains(QLatin1Char('.')));
    }
    EXPECT_GE(imapSourced.size(), 11);
    const struct {
        const char* address;
        const char* preset;  // empty: none
    } cases[] = {{"haendler@GMX.de", "GMX"},    {"Laden <laden@web.de>", "WEB.DE"}, {"a@t-online.de", "T-Online"},
                 {"b@googlemail.com", "Gmail"}, {"c@hotmail.de", "Outlook.com"},    {"d@eigene-domain.example", ""},
                 {"keine-adresse", ""}};
    for (const auto& c : cases) {
        const auto p = presetForAddress(presets, QString::fromUtf8(c.address));
        EXPECT_EQ(p ? p->name : QString(), QString::fromUtf8(c.preset)) << c.address;
    }
}

TEST(Providers, KnownRefusalsSayTheWayOut) {
    const struct {
        const char* server;
        const char* reply;
        const char* said;
    } cases[] = {
        {"smtp-mail.outlook.com", "535 5.7.139 Authentication unsuccessful, basic authentication is disabled",
         "Mit Microsoft anmelden"},
        {"smtp.office365.com", "550 5.7.30 Basic authentication is not supported", "Mit Microsoft anmelden"},
        {"smtp.gmail.com", "534-5.7.9 Application-specific password required", "App-Kennwort"},
        {"mail.gmx.net", "535 Authentication credentials invalid", "POP3/IMAP-Abruf"},
        {"securesmtp.t-online.de", "535 5.7.0 authentication failed", "E-Mail-Passwort"},
        {"mx.example", "554 5.7.1 relay denied", "Der Server hat abgelehnt: 554"},
    };
    for (const auto& c : cases) {
        const QString text = explainRefusal(QString::fromUtf8(c.server), QString::fromUtf8(c.reply));
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.reply))) << "the server's words stay";
    }
}

}  // namespace
}  // namespace gd
