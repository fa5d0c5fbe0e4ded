#pragma once
// A real SMTP server (aiosmtpd) on a free loopback port, for one test, and the
// delivered mails as Python's email package reads them.

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>

namespace gd::test {

inline quint16 freeLoopbackPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class LocalSmtpServer {
public:
    quint16 port = freeLoopbackPort();
    QTemporaryDir out;

    // extra: "--auth user:pw", "--cert c --key k", "--implicit-tls"
    bool start(const QStringList& extra = {}) {
        proc_.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{QStringLiteral(GD_SMTP_SERVER_SCRIPT), QStringLiteral("--port"), QString::number(port),
                                QStringLiteral("--outdir"), out.path()} +
                        extra);
        return proc_.waitForStarted(10000) && proc_.waitForReadyRead(20000) &&
               proc_.readAllStandardOutput().contains("READY");
    }
    QStringList files() const {
        QStringList list;
        for (const QString& f : QDir(out.path()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
            list << QDir(out.path()).filePath(f);
        return list;
    }
    // The delivered messages as the JSON files the server wrote.
    QList<QByteArray> messages() const {
        QList<QByteArray> list;
        for (const QString& f : files()) {
            QFile file(f);
            if (file.open(QIODevice::ReadOnly)) list << file.readAll();
        }
        return list;
    }
    QList<QJsonObject> objects() const {
        QList<QJsonObject> list;
        for (const QByteArray& m : messages()) list << QJsonDocument::fromJson(m).object();
        return list;
    }
    // The n-th mail decoded by Python: subject, to_name, to_address, from_name,
    // body, message_id, charset, header_lines, defects.
    QJsonObject decoded(int n) const {
        const QStringList f = files();
        if (n >= f.size()) return {};
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(GD_READ_MAIL_SCRIPT), f[n]});
        if (!p.waitForFinished(20000)) return {};
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }
    ~LocalSmtpServer() {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(3000)) proc_.kill();
        proc_.waitForFinished(3000);
    }

private:
    QProcess proc_;
};

// A certificate for 127.0.0.1, made for one test.
struct TestCertificate {
    QTemporaryDir dir;
    QString cert = dir.filePath(QStringLiteral("cert.pem")), key = dir.filePath(QStringLiteral("key.pem"));
    bool made = false;
    TestCertificate() {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                 QStringLiteral("-nodes"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
                 QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                 QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
        made = p.waitForFinished(60000) && p.exitCode() == 0;
    }
    QStringList serverArgs() const { return {QStringLiteral("--cert"), cert, QStringLiteral("--key"), key}; }
    QSslCertificate certificate() const {
        QFile f(cert);
        f.open(QIODevice::ReadOnly);
        return QSslCertificate(f.readAll());
    }
};

}  // namespace gd::test
