#include "domain/smtp/ctlSMTPRelay.h"

#include <QEventLoop>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>

#include "base/Clock.h"
#include "domain/settings/Providers.h"
#include "domain/smtp/PinnedCertificate.h"
#include "domain/smtp/SmtpEncoding.h"

namespace gd {
namespace {
int g_replyTimeoutSecs = 30;
quint16 g_implicitTlsPort = 465;
QList<QSslCertificate>& extraCerts() {
    static QList<QSslCertificate> certs;
    return certs;
}
}  // namespace

void ctlSMTPRelay::setReplyTimeoutSecs(int secs) { g_replyTimeoutSecs = secs; }
void ctlSMTPRelay::setImplicitTlsPort(quint16 port) { g_implicitTlsPort = port; }
void ctlSMTPRelay::setExtraTrustedCertificate(const QSslCertificate& cert) {
    extraCerts().clear();
    if (!cert.isNull()) extraCerts() << cert;
}

namespace {

// The socket's fault in German; Qt's English text only behind it, where it adds something.
QString socketFault(QAbstractSocket::SocketError error, const QSslSocket& s, const QString& server, qint32 port) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return QStringLiteral("Der Server %1 hat die Verbindung auf Port %2 abgelehnt.").arg(server).arg(port);
        case QAbstractSocket::RemoteHostClosedError:
            return QStringLiteral("Der Server hat die Verbindung beendet.");
        case QAbstractSocket::HostNotFoundError:
            return QStringLiteral("Der Server \u201E%1\u201C wurde nicht gefunden.").arg(server);
        case QAbstractSocket::SocketTimeoutError:
            return QStringLiteral("Der Server antwortet nicht (Zeitüberschreitung).");
        case QAbstractSocket::NetworkError:
            return QStringLiteral("Das Netzwerk ist nicht erreichbar.");
        case QAbstractSocket::SslHandshakeFailedError:
            return QStringLiteral("Die verschlüsselte Verbindung zum Server kam nicht zustande (%1).")
                .arg(s.errorString());
        default:
            return QStringLiteral("Die Verbindung zum Server ist gestört (%1).").arg(s.errorString());
    }
}

// What the certificate says and why it is not trusted, for a seller to judge or pass on.
QString certificateFault(const QList<QSslError>& errors, const QString& server) {
    const QSslError first = errors.isEmpty() ? QSslError() : errors.first();
    const QSslCertificate c = first.certificate();
    const auto joined = [](const QStringList& l) {
        return l.isEmpty() ? QStringLiteral("?") : l.join(QStringLiteral(", "));
    };
    const QString subject = joined(c.subjectInfo(QSslCertificate::CommonName));
    const QString issuer =
        joined(c.issuerInfo(QSslCertificate::Organization) + c.issuerInfo(QSslCertificate::CommonName));
    QString why;
    switch (first.error()) {
        case QSslError::HostNameMismatch:
            why = QStringLiteral("Es gilt für \u201E%1\u201C, nicht für \u201E%2\u201C.").arg(subject, server);
            break;
        case QSslError::CertificateExpired:
            why = QStringLiteral("Es ist am %1 abgelaufen.").arg(c.expiryDate().toLocalTime().toString(u"dd.MM.yyyy"));
            break;
        case QSslError::CertificateNotYetValid:
            why = QStringLiteral("Es gilt erst ab %1.").arg(c.effectiveDate().toLocalTime().toString(u"dd.MM.yyyy"));
            break;
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
            why = QStringLiteral(
                      "Es ist für \u201E%1\u201C von \u201E%2\u201C ausgestellt, einer Stelle, der "
                      "dieser Rechner nicht vertraut.")
                      .arg(subject, issuer);
            break;
        default:
            why = QStringLiteral("Es ist für \u201E%1\u201C von \u201E%2\u201C ausgestellt.").arg(subject, issuer);
    }
    return QStringLiteral(
               "Das Zertifikat des Servers %1 ist ungültig; die E-Mail wurde nicht gesendet. %2 Prüfen "
               "Sie den Servernamen in den Einstellungen (Emailversand). (%3) Fingerabdruck (SHA-256): %4. Ist es "
               "Ihr eigener Server, können Sie diesem Zertifikat vertrauen: Einstellungen → Optionen → "
               "Emailversand → „Testmail senden“.")
        .arg(server, why, first.errorString(), certificateFingerprint(c));
}

QString changedFault(const QString& trusted, const QSslCertificate& shown, const QString& server, qint32 port) {
    return QStringLiteral(
               "Das Zertifikat des Servers %1 (Port %2) hat sich geändert; die E-Mail wurde nicht gesendet. Vertraut "
               "ist das Zertifikat mit dem Fingerabdruck (SHA-256) %3, der Server zeigt jetzt %4. Das kann ein "
               "Angriff sein. Nur wenn Sie das Zertifikat Ihres Servers selbst erneuert haben, vergleichen Sie den "
               "neuen Fingerabdruck und vertrauen Sie ihm (Einstellungen → Optionen → Emailversand → „Testmail "
               "senden“).")
        .arg(server)
        .arg(port)
        .arg(trusted, certificateFingerprint(shown));
}

}  // namespace

void ctlSMTPRelay::cancel() {
    if (sending_) emit cancelRequested();
}

QString ctlSMTPRelay::SMTPDebugOutput() const {
    QString out;
    for (const QString& e : debug_) out += e + QStringLiteral("\r\n");
    return out;
}

bool ctlSMTPRelay::SendMail(bool testOnly) {
    lastError_.clear();
    lastReply_.clear();
    lastNote_.clear();
    refused_ = QSslCertificate();
    const QString pinned = SMTPTrustedSha256.trimmed().toUpper();
    const bool implicitTls = SMTPSecurity == SmtpSecurity::ImplicitTls || SMTPPort == g_implicitTlsPort;
    SmtpMessage m{MailSenderName, MailSenderEMail, MailSenderEMailCC, MailRecipientName, MailRecipientEMail, MailBody,
                  SMTPAuthUser,   SMTPAuthPass,    QString(),         MailAttachments,   SMTPAuthToken};
    signInRefused_ = false;
    const QDateTime local = now();
    SmtpSession session(m, testOnly, implicitTls, local, qint16(local.offsetFromUtc() / 3600),
                        implicitTls ? SmtpSecurity::ImplicitTls : SMTPSecurity, SMTPPlainPassword);
    if (const Status ready = session.prepare(); !ready.ok()) {
        lastError_ = ready.error().sentence;
        return false;
    }
    if (SMTPServer.trimmed().isEmpty()) {
        lastError_ = QStringLiteral("Es ist kein SMTP-Server eingestellt.");
        return false;
    }
    if (SMTPPort < 1 || SMTPPort > 65535) {
        lastError_ = QStringLiteral("Der SMTP-Port %1 ist ungültig.").arg(SMTPPort);
        return false;
    }

    QSslSocket socket;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!extraCerts().isEmpty()) {
        QList<QSslCertificate> cas = config.caCertificates();
        cas << extraCerts();
        config.setCaCertificates(cas);
    }
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket.setSslConfiguration(config);
    // A server that floods is read in bounded pieces; the session refuses long lines.
    socket.setReadBufferSize(64 * 1024);

    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setInterval(g_replyTimeoutSecs * 1000);
    QTimer total;
    total.setSingleShot(true);
    total.setInterval(std::max(1, SMTPTotalSecs) * 1000);

    const auto apply = [&](const SmtpSession::Actions& a) {
        if (!a.send.isEmpty()) socket.write(a.send);
        if (a.startTls) socket.startClientEncryption();
        if (a.close || session.finished()) {
            socket.flush();
            socket.disconnectFromHost();
            loop.quit();
        }
    };
    connect(&socket, &QSslSocket::readyRead, &loop, [&] {
        // Only a whole reply is progress: a server that trickles bytes does not keep the send alive.
        const int before = session.replies();
        apply(session.received(socket.readAll()));
        if (session.replies() != before) timeout.start();
    });
    connect(&socket, &QSslSocket::connected, &loop, [&] { session.setLocalAddress(socket.localAddress().toString()); });
    connect(&socket, &QSslSocket::encrypted, &loop, [&] {
        // Trusted by the system, yet not the certificate the user trusts here: refused all the same.
        if (!pinned.isEmpty() && certificateFingerprint(socket.peerCertificate()) != pinned) {
            refused_ = socket.peerCertificate();
            session.socketError(changedFault(pinned, refused_, SMTPServer.trimmed(), SMTPPort));
            loop.quit();
            return;
        }
        timeout.start();
        apply(session.tlsEstablished());
    });
    connect(&socket, &QSslSocket::sslErrors, &loop, [&](const QList<QSslError>& errors) {
        const QSslCertificate shown = !socket.peerCertificate().isNull() ? socket.peerCertificate()
                                      : errors.isEmpty()                 ? QSslCertificate()
                                                                         : errors.first().certificate();
        // Exactly the certificate the user chose to trust for this server and port.
        if (!pinned.isEmpty() && certificateFingerprint(shown) == pinned) {
            socket.ignoreSslErrors();
            return;
        }
        // Never fall back to clear text: a certificate that does not check out ends the session.
        refused_ = shown;
        session.socketError(pinned.isEmpty() ? certificateFault(errors, SMTPServer.trimmed())
                                             : changedFault(pinned, shown, SMTPServer.trimmed(), SMTPPort));
        loop.quit();
    });
    connect(&socket, &QSslSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError error) {
        session.socketError(socketFault(error, socket, SMTPServer.trimmed(), SMTPPort));
        loop.quit();
    });
    connect(this, &ctlSMTPRelay::cancelRequested, &loop, [&] {
        session.socketError(QStringLiteral("Der Versand wurde abgebrochen."));
        loop.quit();
    });
    connect(&socket, &QSslSocket::disconnected, &loop, [&] {
        session.socketClosed();
        loop.quit();
    });
    connect(&timeout, &QTimer::timeout, &loop, [&] {
        session.timedOut();
        loop.quit();
    });
    connect(&total, &QTimer::timeout, &loop, [&] {
        session.tookTooLong(SMTPTotalSecs);
        loop.quit();
    });

    sending_ = true;
    apply(session.start());
    timeout.start();
    total.start();
    if (implicitTls)
        socket.connectToHostEncrypted(SMTPServer.trimmed(), quint16(SMTPPort));
    else
        socket.connectToHost(SMTPServer.trimmed(), quint16(SMTPPort));
    while (!session.finished()) loop.exec();
    sending_ = false;
    // QUIT goes out before the line is cut; the socket is always closed, whatever happened.
    if (socket.state() == QAbstractSocket::ConnectedState && socket.bytesToWrite() > 0)
        socket.waitForBytesWritten(1000);
    socket.abort();

    lastReply_ = session.lastReply();
    lastMessageId_ = session.messageId();
    if (!session.copyRefused().isEmpty())
        lastNote_ = QStringLiteral("Die Kopie an %1 hat der Server abgelehnt: %2")
                        .arg(MailSenderEMailCC, session.copyRefused().trimmed());
    if (SMTPDebugmode) debug_ = session.trace();
    signInRefused_ = session.signInRefused();
    if (!session.success()) {
        lastError_ = session.failure();
        if (lastError_.isEmpty()) lastError_ = QStringLiteral("Die E-Mail wurde nicht angenommen.");
        if (!session.refusedReply().isEmpty())
            lastError_ = explainRefusal(SMTPServer.trimmed(), session.refusedReply());
    }
    return session.success();
}

}  // namespace gd
