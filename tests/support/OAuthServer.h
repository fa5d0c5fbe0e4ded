#pragma once
// A local OAuth 2.0 provider and an SMTP server that takes its tokens (XOAUTH2 over
// STARTTLS), one Python process per test; and the user's browser that follows its redirect.

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>

#include "support/SmtpServer.h"

namespace gd::test {

class TokenProvider {
public:
    explicit TokenProvider(QString user) : user_(std::move(user)) {}
    quint16 smtpPort = test::freeLoopbackPort(), httpPort = test::freeLoopbackPort();
    QTemporaryDir out;
    test::TestCertificate cert;

    bool start() {
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(GD_OAUTH_SERVER_SCRIPT), QStringLiteral("--smtp-port"), QString::number(smtpPort),
             QStringLiteral("--http-port"), QString::number(httpPort), QStringLiteral("--outdir"), out.path(),
             QStringLiteral("--cert"), cert.cert, QStringLiteral("--key"), cert.key, QStringLiteral("--user"), user_});
        return cert.made && proc_.waitForStarted(10000) && proc_.waitForReadyRead(20000) &&
               proc_.readAllStandardOutput().contains("READY");
    }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort).arg(path); }
    QJsonObject call(const QString& path, bool post = true) {
        QNetworkReply* r = post ? network_.post(QNetworkRequest(QUrl(url(path))), QByteArray())
                                : network_.get(QNetworkRequest(QUrl(url(path))));
        QEventLoop loop;
        QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        r->deleteLater();
        return QJsonDocument::fromJson(r->readAll()).object();
    }
    int stat(const char* name) {
        return call(QStringLiteral("/stats"), false).value(QString::fromLatin1(name)).toInt();
    }
    QString text(const char* name) {
        return call(QStringLiteral("/stats"), false).value(QString::fromLatin1(name)).toString();
    }
    int mails() const { return int(QDir(out.path()).entryList({QStringLiteral("*.json")}, QDir::Files).size()); }
    // The user's browser: follows the provider's redirect back to the program.
    bool browse(const QUrl& u) {
        opened = u;
        QNetworkReply* r = network_.get(QNetworkRequest(u));
        QObject::connect(r, &QNetworkReply::finished, r, &QObject::deleteLater);
        return true;
    }
    QUrl opened;
    ~TokenProvider() {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(3000)) proc_.kill();
        proc_.waitForFinished(3000);
    }

    // config.ini's [OAuth] for this provider as "Microsoft", with or without a client ID.
    QByteArray configIni(bool withClientId = true) const {
        return "[OAuth]\r\nMicrosoftAutorisierung=" + url(QStringLiteral("/authorize")).toUtf8() +
               "\r\nMicrosoftToken=" + url(QStringLiteral("/token")).toUtf8() + "\r\n" +
               (withClientId ? "MicrosoftClientID=gaveldesk-test\r\n" : "");
    }

private:
    QString user_;
    QProcess proc_;
    QNetworkAccessManager network_;
};

}  // namespace gd::test
