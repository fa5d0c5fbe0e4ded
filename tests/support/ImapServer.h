#pragma once
// A Dovecot of the test's own (tests/support/imapserver.py) on free loopback ports, with one
// user and a Maildir: mails delivered, listed with their flags, the server halted and resumed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QtGlobal>

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
    bool freeze() { return run({QStringLiteral("freeze"), state}); }
    bool thaw() { return run({QStringLiteral("thaw"), state}); }
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

// A sale's notification as the platform sends it, and other mails of a seller's mailbox.
struct Buyer {
    const char *nr, *member, *name, *street, *city, *country;
};

// A sale's notification as the platform sends it, for this buyer.
inline QByteArray notification(const Buyer& b, qsizetype padding = 0) {
    const QString body = QStringLiteral(
                             "Betreff: Ihr Artikel wurde verkauft: Kaffeemühle Santiago, Buche (%1)\n\n"
                             "Hallo gavel_haendler,\n\n"
                             "herzlichen Glückwunsch! Ihr Artikel ist verkauft. Der Käufer %2 hat am 04.12.2026 den "
                             "folgenden Artikel über eBay gekauft:\n\n"
                             "Artikel: Kaffeemühle Santiago, Buche\nArtikelnummer: %1\nVerkaufspreis: EUR 24,50\n"
                             "Menge: 1\nAngebotsende: 04.12.2026 20:15:33\nVersand und Verpackung: EUR 4,90\n"
                             "Versandversicherung: EUR 1,50\nGesamtbetrag: EUR 30,90\n"
                             "Zahlungsmethoden: Überweisung, PayPal\n\n"
                             "Kontaktinformationen des Käufers:\nMitgliedsname des Käufers: %2\n"
                             "E-Mail: %2@example.eu\nName: %3\nStraße: %4\nPLZ und Ort: %5\nLand: %6\n\n"
                             "Mit freundlichen Grüßen\nIhr eBay-Team\n")
                             .arg(QString::fromUtf8(b.nr), QString::fromUtf8(b.member), QString::fromUtf8(b.name),
                                  QString::fromUtf8(b.street), QString::fromUtf8(b.city), QString::fromUtf8(b.country));
    QByteArray text = body.toUtf8() + QByteArray(padding, 'x');
    text.replace("\n", "\r\n");
    return "From: Plattform <mitglied@ebay.example>\r\nTo: verkauf@example.de\r\n"
           "Subject: =?UTF-8?Q?Ihr_Artikel_wurde_verkauft?= " +
           QByteArray(b.nr) + "\r\nMessage-ID: <" + b.nr +
           "@ebay.example>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n" +
           text;
}

inline QByteArray otherMail(const char* from, const char* subject) {
    return "From: " + QByteArray(from) + "\r\nTo: verkauf@example.de\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nGuten Tag,\r\nnur zur "
           "Information.\r\n";
}

inline const Buyer kBuyers[] = {
    {"3141592601", "lukasz_krakow", "Łukasz Wróbel", "ul. Floriańska 7", "31-019 Kraków", "Polen"},
    {"3141592602", "zoe_kbh", "Zoë Ørsted", "Nørrebrogade 12", "2200 København", "Dänemark"},
    {"3141592603", "juergen_m", "Jürgen Weiß", "Schäftlarnstraße 3", "81371 München", "Deutschland"},
};

}  // namespace gd::test
