#include "domain/mailbox/ImapClient.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <algorithm>

#include "domain/import/MailFile.h"
#include "domain/mailbox/ImapProtocol.h"
#include "domain/smtp/PinnedCertificate.h"
#include "domain/smtp/SmtpSession.h"

namespace gd {
namespace {

int g_replyTimeoutSecs = 30;
QList<QSslCertificate>& extraCerts() {
    static QList<QSslCertificate> certs;
    return certs;
}

// A search result names every mail of a large mailbox on one line; a literal is at most a mail
// the import takes, and a little more for a server that announces what it then does not send.
constexpr qsizetype kMaxLine = 8 << 20;
constexpr qint64 kMaxLiteral = kMaxMailBytes + (1 << 20);
constexpr qint64 kProgressBytes = 64 * 1024;
constexpr qsizetype kUidsPerFetch = 2000;

Status fail(const QString& sentence) { return Error::plain(sentence); }

QString serverText(const ImapResponse& r) {
    QString t = QString::fromUtf8(r.rest()).trimmed();
    if (t.size() > 200) t = t.left(200) + QStringLiteral(" …");
    return t;
}

}  // namespace

void ImapClient::setReplyTimeoutSecs(int secs) { g_replyTimeoutSecs = secs; }
void ImapClient::setExtraTrustedCertificate(const QSslCertificate& cert) {
    extraCerts().clear();
    if (!cert.isNull()) extraCerts() << cert;
}

struct ImapClient::Io {
    QSslSocket socket;
    ImapReader reader{kMaxLine, kMaxLiteral};
    QString server;
    QString pinned;
    QSslCertificate refused;
    std::function<bool()> stopped;
    bool cancelled = false;

    // Waits in short steps where a stop is asked for, so that closing the window does not wait
    // for a server that stalls.
    bool waitInSteps(const std::function<bool(int)>& wait, qint64 ms) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (stopped && stopped()) {
                cancelled = true;
                socket.abort();
                return false;
            }
            const qint64 left = ms - clock.elapsed();
            if (left <= 0) return false;
            if (wait(int(stopped ? std::min<qint64>(left, 200) : left))) return true;
            if (socket.state() != QAbstractSocket::ConnectedState) return false;
        }
    }
    bool waitReadable(qint64 ms) {
        return waitInSteps([this](int step) { return socket.waitForReadyRead(step); }, ms);
    }
    static Status cancel() { return fail(QStringLiteral("Der Abruf wurde abgebrochen.")); }

    Status verified() {
        const bool done =
            waitInSteps([this](int step) { return socket.waitForEncrypted(step); }, g_replyTimeoutSecs * 1000ll);
        if (cancelled) return cancel();
        // Trusted by the system, yet not the certificate the user trusts here: refused all the same.
        if (done && (pinned.isEmpty() || certificateFingerprint(socket.peerCertificate()) == pinned)) return {};
        const QList<QSslError> errors = socket.sslHandshakeErrors();
        const QSslCertificate shown = !socket.peerCertificate().isNull() ? socket.peerCertificate()
                                      : errors.isEmpty()                 ? QSslCertificate()
                                                                         : errors.first().certificate();
        socket.abort();
        if (!done && errors.isEmpty())
            return fail(
                QStringLiteral("Die verschlüsselte Verbindung zum Posteingangsserver %1 kam nicht zustande (%2).")
                    .arg(server, socket.errorString()));
        refused = shown;
        if (!pinned.isEmpty())
            return fail(QStringLiteral("Das Zertifikat des Posteingangsservers %1 hat sich geändert; es wurde nichts "
                                       "abgerufen. Vertraut ist das Zertifikat mit dem Fingerabdruck (SHA-256) %2, der "
                                       "Server zeigt jetzt %3. Das kann ein Angriff sein.")
                            .arg(server, pinned, certificateFingerprint(shown)));
        return fail(QStringLiteral("Das Zertifikat des Posteingangsservers %1 ist ungültig; es wurde nichts abgerufen. "
                                   "(%2) Fingerabdruck (SHA-256): %3.")
                        .arg(server, errors.first().errorString(), certificateFingerprint(shown)));
    }

    Status connect(const QString& host, int port, bool tls) {
        server = host;
        // Exactly the certificate the user chose to trust for this server and port passes its check.
        QObject::connect(&socket, &QSslSocket::sslErrors, &socket, [this](const QList<QSslError>& errors) {
            const QSslCertificate shown = !socket.peerCertificate().isNull() ? socket.peerCertificate()
                                          : errors.isEmpty()                 ? QSslCertificate()
                                                                             : errors.first().certificate();
            if (!pinned.isEmpty() && certificateFingerprint(shown) == pinned) socket.ignoreSslErrors();
        });
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        if (!extraCerts().isEmpty()) config.setCaCertificates(config.caCertificates() + extraCerts());
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket.setSslConfiguration(config);
        socket.setReadBufferSize(256 * 1024);
        if (tls)
            socket.connectToHostEncrypted(host, quint16(port));
        else
            socket.connectToHost(host, quint16(port));
        if (!socket.waitForConnected(g_replyTimeoutSecs * 1000)) return lost();
        return tls ? verified() : Status{};
    }

    Status startTls() {
        reader = ImapReader(kMaxLine, kMaxLiteral);  // nothing sent before the handshake counts
        socket.startClientEncryption();
        return verified();
    }

    Status lost() const {
        switch (socket.error()) {
            case QAbstractSocket::ConnectionRefusedError:
                return fail(QStringLiteral("Der Posteingangsserver %1 hat die Verbindung abgelehnt (Port %2).")
                                .arg(server)
                                .arg(socket.peerPort() ? socket.peerPort() : 0));
            case QAbstractSocket::HostNotFoundError:
                return fail(QStringLiteral("Der Posteingangsserver \u201E%1\u201C wurde nicht gefunden.").arg(server));
            case QAbstractSocket::SocketTimeoutError:
                return fail(QStringLiteral("Der Posteingangsserver %1 antwortet nicht (Zeitüberschreitung nach %2 s).")
                                .arg(server)
                                .arg(g_replyTimeoutSecs));
            default:
                return fail(QStringLiteral("Der Posteingangsserver %1 hat die Verbindung beendet.").arg(server));
        }
    }

    Status write(const QByteArray& bytes) {
        if (socket.state() != QAbstractSocket::ConnectedState || socket.write(bytes) != bytes.size()) return lost();
        return {};
    }

    // A whole response if one comes within ms; nothing otherwise (the line is still up).
    Result<std::optional<ImapResponse>> readWithin(int ms) {
        if (std::optional<ImapResponse> r = reader.next()) return r;
        if (!reader.error().isEmpty()) return Error::plain(reader.error());
        if (!socket.waitForReadyRead(ms)) {
            if (socket.state() != QAbstractSocket::ConnectedState) return lost().error();
            return std::optional<ImapResponse>();
        }
        reader.feed(socket.readAll());
        if (!reader.error().isEmpty()) return Error::plain(reader.error());
        return reader.next();
    }

    // The next whole response; a trickling server gets its time per 64 KB, not per byte.
    Result<ImapResponse> read() {
        QElapsedTimer clock;
        clock.start();
        qint64 progress = reader.pending();
        for (;;) {
            if (std::optional<ImapResponse> r = reader.next()) return *r;
            if (!reader.error().isEmpty()) return Error::plain(reader.error());
            const qint64 left = g_replyTimeoutSecs * 1000ll - clock.elapsed();
            if (left <= 0 || !waitReadable(left)) {
                if (cancelled) return cancel().error();
                if (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() >= g_replyTimeoutSecs * 1000ll)
                    return Error::plain(
                        QStringLiteral("Der Posteingangsserver %1 antwortet nicht (Zeitüberschreitung nach %2 s).")
                            .arg(server)
                            .arg(g_replyTimeoutSecs));
                if (socket.state() != QAbstractSocket::ConnectedState || socket.bytesAvailable() == 0) {
                    Error e = lost().error();
                    return e;
                }
            }
            reader.feed(socket.readAll());
            if (reader.pending() - progress >= kProgressBytes) {
                progress = reader.pending();
                clock.restart();
            }
        }
    }
};

ImapClient::ImapClient(std::function<bool()> stopped) : io_(std::make_unique<Io>()) {
    io_->stopped = std::move(stopped);
}
QSslCertificate ImapClient::refusedCertificate() const { return io_->refused; }
ImapClient::~ImapClient() {
    if (io_) io_->socket.abort();
}

bool ImapClient::has(const QByteArray& capability) const {
    return std::any_of(caps_.begin(), caps_.end(),
                       [&](const QByteArray& c) { return c.compare(capability, Qt::CaseInsensitive) == 0; });
}

Result<QList<ImapResponse>> ImapClient::command(const QByteArray& text, const QByteArray& shown, QByteArray answer) {
    const QByteArray tag = "g" + QByteArray::number(++tag_);
    trace_ << QString::fromUtf8(tag + ' ' + (shown.isEmpty() ? text : shown));
    if (trace_.size() > 400) trace_.removeFirst();
    if (const Status sent = io_->write(tag + ' ' + text + "\r\n"); !sent.ok()) return sent.error();
    QList<ImapResponse> untagged;
    for (;;) {
        Result<ImapResponse> r = io_->read();
        if (!r.ok()) return r.error();
        ImapResponse& got = r.value();
        switch (got.kind) {
            case ImapResponse::Kind::Continuation:
                // The sign-in's answer once; after it an empty line ends a refused sign-in's challenge.
                if (const Status sent = io_->write(answer + "\r\n"); !sent.ok()) return sent.error();
                answer.clear();
                continue;
            case ImapResponse::Kind::Untagged:
                if (got.word() == "BYE")
                    return Error::plain(QStringLiteral("Der Posteingangsserver %1 hat die Verbindung beendet: %2")
                                            .arg(io_->server, serverText(got)));
                untagged.append(std::move(got));
                continue;
            case ImapResponse::Kind::Tagged:
                if (got.tag != tag) continue;
                trace_ << QString::fromUtf8(got.tag + ' ' + got.text.left(200));
                if (got.word() == "OK") {
                    // A capability list may come with the answer (after the sign-in).
                    static const QRegularExpression caps(QStringLiteral("^\\[CAPABILITY ([^\\]]*)\\]"));
                    const QRegularExpressionMatch m = caps.match(QString::fromLatin1(got.rest()));
                    if (m.hasMatch()) caps_ = m.captured(1).toLatin1().split(' ');
                    return untagged;
                }
                return Error{QString(), 0, serverText(got)};
        }
    }
}

Status ImapClient::capabilities() {
    const Result<QList<ImapResponse>> r = command("CAPABILITY");
    if (!r.ok()) return r.error();
    for (const ImapResponse& u : r.value())
        if (u.word() == "CAPABILITY") caps_ = u.rest().split(' ');
    return {};
}

Status ImapClient::open(const ImapAccount& a) {
    signInRefused_ = false;
    server_ = a.server.trimmed();
    if (server_.isEmpty()) return fail(QStringLiteral("Es ist kein Posteingangsserver eingestellt."));
    if (a.port < 1 || a.port > 65535)
        return fail(QStringLiteral("Der Port %1 des Posteingangs ist ungültig.").arg(a.port));
    io_->pinned = a.trustedSha256.trimmed().toUpper();
    if (const Status c = io_->connect(server_, a.port, a.security == ImapSecurity::Ssl); !c.ok()) return c;
    const Result<ImapResponse> greeting = io_->read();
    if (!greeting.ok()) return greeting.error();
    const QByteArray word = greeting.value().word();
    if (word == "BYE" || greeting.value().kind != ImapResponse::Kind::Untagged || (word != "OK" && word != "PREAUTH"))
        return fail(QStringLiteral("Der Posteingangsserver %1 nimmt keine Verbindung an: %2")
                        .arg(server_, serverText(greeting.value())));
    if (const Status c = capabilities(); !c.ok()) return c;
    if (a.security == ImapSecurity::StartTls) {
        if (!has("STARTTLS"))
            return fail(QStringLiteral("Der Posteingangsserver %1 bietet keine Verschlüsselung (STARTTLS) an; es wurde "
                                       "kein Kennwort gesendet. Wählen Sie in den Optionen „SSL“ (Port 993).")
                            .arg(server_));
        const Result<QList<ImapResponse>> go = command("STARTTLS");
        if (!go.ok())
            return fail(
                QStringLiteral("Der Posteingangsserver %1 hat die Verschlüsselung (STARTTLS) abgelehnt; es wurde "
                               "kein Kennwort gesendet. %2")
                    .arg(server_, go.error().description));
        if (const Status t = io_->startTls(); !t.ok()) return t;
        caps_.clear();  // what was said before the handshake may have been forged
        if (const Status c = capabilities(); !c.ok()) return c;
    }
    return word == "PREAUTH" ? Status{} : signIn(a);
}

Status ImapClient::signIn(const ImapAccount& a) {
    const bool encrypted = io_->socket.isEncrypted();
    if (!encrypted && !a.allowPlainPassword)
        return fail(QStringLiteral("Ohne Verschlüsselung wird das Kennwort nicht an %1 gesendet. Wählen Sie in den "
                                   "Optionen „SSL“ oder „STARTTLS“.")
                        .arg(server_));
    const QByteArray user = a.user.trimmed().toUtf8();
    Result<QList<ImapResponse>> r = Error::plain(QString());
    if (!a.token.isEmpty()) {
        r = command("AUTHENTICATE XOAUTH2 " + xoauth2Response(a.user, a.token), "AUTHENTICATE XOAUTH2 …");
    } else if (has("AUTH=PLAIN")) {
        // Base64 carries any password; without SASL-IR it follows the server's go-ahead.
        const QByteArray plain =
            QByteArray(QByteArray(1, '\0') + user + QByteArray(1, '\0') + a.password.toUtf8()).toBase64();
        r = has("SASL-IR") ? command("AUTHENTICATE PLAIN " + plain, "AUTHENTICATE PLAIN …")
                           : command("AUTHENTICATE PLAIN", "AUTHENTICATE PLAIN", plain);
    } else {
        const std::optional<QByteArray> u = quoted(user), p = quoted(a.password.toUtf8());
        if (has("LOGINDISABLED") || !u || !p)
            return fail(QStringLiteral("Der Posteingangsserver %1 bietet keine Anmeldung an, die dieses Programm "
                                       "beherrscht.")
                            .arg(server_));
        r = command("LOGIN " + *u + ' ' + *p, "LOGIN " + *u + " …");
    }
    if (r.ok()) return capabilities();
    if (!r.error().sentence.isEmpty()) return r.error();  // the line broke, not the sign-in
    signInRefused_ = true;
    return fail(
        QStringLiteral("Der Posteingangsserver %1 hat die Anmeldung als \u201E%2\u201C abgelehnt: %3 Prüfen Sie "
                       "Benutzer und Kennwort in den Optionen (Posteingang).")
            .arg(server_, a.user.trimmed(), r.error().description));
}

Result<ImapFolder> ImapClient::select(const QString& folder) {
    const Result<QList<ImapResponse>> r = command("SELECT " + *quoted(encodeMailboxName(folder)));
    if (!r.ok()) {
        if (!r.error().sentence.isEmpty()) return r.error();
        return Error::plain(QStringLiteral("Den Ordner \u201E%1\u201C gibt es auf dem Posteingangsserver nicht (%2).")
                                .arg(folder, r.error().description));
    }
    ImapFolder f;
    static const QRegularExpression validity(QStringLiteral("\\[UIDVALIDITY (\\d+)\\]"));
    for (const ImapResponse& u : r.value()) {
        const QRegularExpressionMatch m = validity.match(QString::fromLatin1(u.rest()));
        if (u.word() == "OK" && m.hasMatch()) f.uidValidity = m.captured(1).toUInt();
        if (u.rest().toUpper() == "EXISTS") f.exists = u.word().toUInt();
    }
    if (f.uidValidity == 0)
        return Error::plain(QStringLiteral("Der Posteingangsserver %1 nennt für den Ordner \u201E%2\u201C keine "
                                           "UIDVALIDITY; ohne sie ließe sich nicht sicher sagen, welche E-Mail schon "
                                           "gelesen wurde.")
                                .arg(server_, folder));
    return f;
}

namespace {

// What a failed command says: the server's own words when it answered NO or BAD.
Error refused(const Error& e, const QString& what) {
    if (!e.sentence.isEmpty()) return e;
    return Error::plain(what + QStringLiteral(" (") + e.description + QLatin1Char(')'));
}

}  // namespace

Result<QList<quint32>> ImapClient::search(const QByteArray& criteria) {
    const Result<QList<ImapResponse>> r = command("UID SEARCH " + criteria);
    if (!r.ok()) return refused(r.error(), QStringLiteral("Der Posteingangsserver hat die Suche abgelehnt."));
    QList<quint32> uids;
    for (const ImapResponse& u : r.value())
        if (u.word() == "SEARCH")
            for (const QByteArray& n : u.rest().split(' '))
                if (const quint32 v = n.toUInt(); v > 0) uids.append(v);
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    return uids;
}

namespace {

// "UID 17 RFC822.SIZE 2048 BODY[] {#0}": the items of one FETCH response.
struct FetchItems {
    quint32 uid = 0;
    qint64 size = -1;
    std::optional<QByteArray> body;
};

FetchItems fetchItems(const ImapResponse& u) {
    FetchItems out;
    ImapTokens t(u.text);
    t.next();  // the sequence number
    if (t.next().text.toUpper() != "FETCH" || t.next().type != ImapToken::Type::Open) return out;
    for (;;) {
        const ImapToken key = t.next();
        if (key.type != ImapToken::Type::Atom) break;
        const QByteArray name = key.text.toUpper();
        if (name == "UID") {
            out.uid = t.next().text.toUInt();
        } else if (name == "RFC822.SIZE") {
            out.size = t.next().text.toLongLong();
        } else if (name == "BODY[]") {
            const ImapToken v = t.next();
            if (v.type == ImapToken::Type::Literal && v.literal >= 0 && v.literal < u.literals.size())
                out.body = u.literals[v.literal];
            else if (v.type == ImapToken::Type::String)
                out.body = v.text;
        } else {
            t.skipValue();
        }
    }
    return out;
}

}  // namespace

Result<QList<ImapSize>> ImapClient::sizes(const QList<quint32>& uids) {
    QList<ImapSize> out;
    for (qsizetype i = 0; i < uids.size(); i += kUidsPerFetch) {
        const Result<QList<ImapResponse>> r =
            command("UID FETCH " + uidSet(uids.mid(i, kUidsPerFetch)) + " (UID RFC822.SIZE)");
        if (!r.ok())
            return refused(r.error(), QStringLiteral("Der Posteingangsserver nennt die Größe der E-Mails nicht."));
        for (const ImapResponse& u : r.value())
            if (const FetchItems f = fetchItems(u); f.uid > 0 && f.size >= 0) out.append({f.uid, f.size});
    }
    std::sort(out.begin(), out.end(), [](const ImapSize& a, const ImapSize& b) { return a.uid < b.uid; });
    return out;
}

Result<std::optional<QByteArray>> ImapClient::body(quint32 uid) {
    const Result<QList<ImapResponse>> r = command("UID FETCH " + QByteArray::number(uid) + " (UID BODY.PEEK[])");
    if (!r.ok()) return refused(r.error(), QStringLiteral("Die E-Mail (UID %1) kann nicht gelesen werden.").arg(uid));
    for (const ImapResponse& u : r.value())
        if (FetchItems f = fetchItems(u); f.uid == uid && f.body) return std::optional<QByteArray>(std::move(*f.body));
    return std::optional<QByteArray>();
}

Result<QString> ImapClient::ensureFolder(const QString& slashPath) {
    if (!separatorKnown_) {
        const Result<QList<ImapResponse>> r = command(R"(LIST "" "")");
        if (!r.ok()) return refused(r.error(), QStringLiteral("Der Posteingangsserver nennt seine Ordner nicht."));
        for (const ImapResponse& u : r.value()) {
            if (u.word() != "LIST") continue;
            ImapTokens t(u.rest());
            t.skipValue();  // the flags
            const ImapToken sep = t.next();
            if (sep.type == ImapToken::Type::String && sep.text.size() == 1) separator_ = QLatin1Char(sep.text[0]);
        }
        separatorKnown_ = true;
    }
    QString name = slashPath;
    if (!separator_.isNull()) name.replace(QLatin1Char('/'), separator_);
    const QByteArray wire = *quoted(encodeMailboxName(name));
    const Result<QList<ImapResponse>> listed = command("LIST \"\" " + wire);
    if (listed.ok() && std::any_of(listed.value().begin(), listed.value().end(),
                                   [](const ImapResponse& u) { return u.word() == "LIST"; }))
        return name;
    const Result<QList<ImapResponse>> made = command("CREATE " + wire);
    if (!made.ok() && !made.error().description.contains(QLatin1String("ALREADYEXISTS")))
        return refused(made.error(), QStringLiteral("Der Ordner \u201E%1\u201C kann auf dem Posteingangsserver nicht "
                                                    "angelegt werden.")
                                         .arg(name));
    return name;
}

Status ImapClient::move(quint32 uid, const QString& folder) {
    const QByteArray id = QByteArray::number(uid), to = *quoted(encodeMailboxName(folder));
    const QString why =
        QStringLiteral("Die E-Mail (UID %1) kann nicht nach \u201E%2\u201C verschoben werden.").arg(uid).arg(folder);
    if (has("MOVE")) {
        const Result<QList<ImapResponse>> r = command("UID MOVE " + id + ' ' + to);
        return r.ok() ? Status{} : Status(refused(r.error(), why));
    }
    const Result<QList<ImapResponse>> copied = command("UID COPY " + id + ' ' + to);
    if (!copied.ok()) return refused(copied.error(), why);
    const Result<QList<ImapResponse>> marked = command("UID STORE " + id + R"( +FLAGS.SILENT (\Seen \Deleted))");
    if (!marked.ok()) return refused(marked.error(), why);
    if (has("UIDPLUS")) {
        const Result<QList<ImapResponse>> gone = command("UID EXPUNGE " + id);
        if (!gone.ok()) return refused(gone.error(), why);
    }
    return {};
}

Result<bool> ImapClient::idle(int seconds, const std::function<bool()>& stopped) {
    if (!has("IDLE"))
        return Error::plain(QStringLiteral("Der Posteingangsserver %1 meldet neue E-Mails nicht von sich aus (IDLE); "
                                           "Gaveldesk fragt in den eingestellten Abständen nach.")
                                .arg(server_));
    const QByteArray tag = "g" + QByteArray::number(++tag_);
    trace_ << QString::fromUtf8(tag + " IDLE");
    if (const Status sent = io_->write(tag + " IDLE\r\n"); !sent.ok()) return sent.error();
    for (;;) {
        const Result<ImapResponse> r = io_->read();
        if (!r.ok()) return r.error();
        if (r.value().kind == ImapResponse::Kind::Continuation) break;
        if (r.value().kind == ImapResponse::Kind::Tagged && r.value().tag == tag)
            return Error::plain(
                QStringLiteral("Der Posteingangsserver %1 hat IDLE abgelehnt: %2").arg(server_, serverText(r.value())));
    }
    bool fresh = false;
    QElapsedTimer clock;
    clock.start();
    // Short waits: a stop is seen within a second.
    while (!fresh && !stopped() && clock.elapsed() < seconds * 1000ll) {
        const Result<std::optional<ImapResponse>> r = io_->readWithin(1000);
        if (!r.ok()) return r.error();
        if (!r.value()) continue;
        if (r.value()->word() == "BYE")
            return Error::plain(QStringLiteral("Der Posteingangsserver %1 hat die Verbindung beendet: %2")
                                    .arg(server_, serverText(*r.value())));
        fresh = r.value()->kind == ImapResponse::Kind::Untagged && r.value()->rest().toUpper() == "EXISTS";
    }
    if (stopped()) return fresh;  // the connection is closed, not talked to an end
    if (const Status sent = io_->write("DONE\r\n"); !sent.ok()) return sent.error();
    for (;;) {
        const Result<ImapResponse> r = io_->read();
        if (!r.ok()) return r.error();
        if (r.value().kind == ImapResponse::Kind::Tagged && r.value().tag == tag) return fresh;
    }
}

Status ImapClient::markSeen(quint32 uid) {
    const Result<QList<ImapResponse>> r = command("UID STORE " + QByteArray::number(uid) + R"( +FLAGS.SILENT (\Seen))");
    if (r.ok()) return {};
    return refused(r.error(), QStringLiteral("Die E-Mail (UID %1) kann nicht als gelesen markiert werden.").arg(uid));
}

void ImapClient::logout() {
    if (io_->socket.state() == QAbstractSocket::ConnectedState) {
        (void)command("LOGOUT");
        io_->socket.waitForBytesWritten(1000);
    }
    io_->socket.abort();
}

}  // namespace gd
