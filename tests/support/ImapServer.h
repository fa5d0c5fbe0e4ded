#pragma once
// A Dovecot of the test's own (tests/support/imapserver.py) on free loopback ports, with one
// user and a Maildir: mails delivered, listed with their flags, the server halted and resumed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>

namespace gd::test {

class LocalImapServer {
public:
    QTemporaryDir dir;
    QString state = dir.filePath(QStringLiteral("imap"));

    ~LocalImapServer() { run({QStringLiteral("stop"), state}); }
    // Empty when it runs; else why not (Dovecot missing: the reason to skip).
    QString start(const QStringList& options = {}) {
        QString out;
        if (!run(QStringList{QStringLiteral("start"), state} + options, &out)) return out;
        const QString skip = read(QStringLiteral("skip"));
        return skip.isEmpty() ? QString() : QStringLiteral("skip: ") + skip;
    }
    // Not 127.0.0.1: Dovecot takes a client on its own address for a secure one.
    QString host() const { return read(QStringLiteral("host")); }
    quint16 tlsPort() const { return quint16(read(QStringLiteral("port_tls")).toUInt()); }
    quint16 plainPort() const { return quint16(read(QStringLiteral("port_plain")).toUInt()); }
    QString user() const { return QStringLiteral("verkauf@example.de"); }
    QString password() const { return read(QStringLiteral("kennwort")); }
    QSslCertificate ca() const {
        QFile f(state + QStringLiteral("/ca.crt"));
        return f.open(QIODevice::ReadOnly) ? QSslCertificate(f.readAll()) : QSslCertificate();
    }
    // Each mail a file of its own in the folder, unread unless seen.
    bool deliver(const QList<QByteArray>& mails, const QString& folder = {}, bool seen = false) {
        QStringList args{QStringLiteral("deliver"), state};
        for (const QByteArray& m : mails) {
            const QString path = dir.filePath(QStringLiteral("mail%1.eml").arg(++mails_));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(m) != m.size()) return false;
            args << path;
        }
        if (!folder.isEmpty()) args << QStringLiteral("--folder") << folder;
        if (seen) args << QStringLiteral("--seen");
        return run(args);
    }
    // "UID<TAB>FLAGS<TAB>Subject" a mail.
    QStringList list(const QString& folder = QStringLiteral("INBOX")) const {
        QString out;
        if (!run({QStringLiteral("list"), state, folder}, &out)) return {QStringLiteral("Fehler: ") + out};
        return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool halt() { return run({QStringLiteral("halt"), state}); }
    bool resume() { return run({QStringLiteral("resume"), state}); }
    bool fill(int n) { return run({QStringLiteral("fill"), state, QString::number(n)}); }

private:
    int mails_ = 0;
    QString read(const QString& name) const {
        QFile f(state + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }
    static bool run(const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(GD_IMAPSERVER_SCRIPT)} + args);
        const bool done = p.waitForFinished(120000);
        if (out) *out = QString::fromUtf8(p.readAll());
        return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
};

}  // namespace gd::test
