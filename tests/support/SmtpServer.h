#pragma once
// A real SMTP server (aiosmtpd) on a free loopback port, for one test.

#include <QDir>
#include <QFile>
#include <QProcess>
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

    bool start() {
        proc_.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(GD_SMTP_SERVER_SCRIPT), QStringLiteral("--port"),
                                                         QString::number(port), QStringLiteral("--outdir"), out.path()});
        return proc_.waitForReadyRead(20000);
    }
    // The delivered messages as the JSON files the server wrote.
    QList<QByteArray> messages() const {
        QList<QByteArray> list;
        for (const QString& f : QDir(out.path()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            QFile file(QDir(out.path()).filePath(f));
            if (file.open(QIODevice::ReadOnly)) list << file.readAll();
        }
        return list;
    }
    ~LocalSmtpServer() {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(3000)) proc_.kill();
    }

private:
    QProcess proc_;
};

}  // namespace gd::test
