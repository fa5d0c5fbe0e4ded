#pragma once
// A mailbox on an IMAP server, read by commands that wait for their answer: for a worker
// thread or the command line. Only what fetching notifications needs: sign-in over verified
// TLS, a folder selected, a search, sizes, a mail's bytes read without marking it, and
// filing it (moved, or marked as read).
#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "base/Result.h"

namespace gd {

struct ImapResponse;

enum class ImapSecurity {
    Ssl,       // TLS from the first byte (port 993)
    StartTls,  // STARTTLS before the sign-in (port 143); a server without it is refused
    None,      // no encryption: a password only when the user allowed it
};

struct ImapAccount {
    QString server;
    int port = 993;
    ImapSecurity security = ImapSecurity::Ssl;
    QString user, password;
    QString token;                    // an OAuth 2.0 access token: SASL XOAUTH2 instead of the password
    bool allowPlainPassword = false;  // the user allowed the password without TLS
    // SHA-256 of the one certificate the user trusts for this server and port: only that one is
    // taken then, even where the system would trust another.
    QString trustedSha256;
};

struct ImapFolder {
    quint32 uidValidity = 0;
    quint32 exists = 0;
};

struct ImapSize {
    quint32 uid = 0;
    qint64 bytes = 0;
};

class ImapClient final {
public:
    // `stopped`, asked while waiting for the server, ends a command at once with an error.
    explicit ImapClient(std::function<bool()> stopped = {});
    ~ImapClient();
    ImapClient(const ImapClient&) = delete;
    ImapClient& operator=(const ImapClient&) = delete;

    // Connects, protects the line, signs in. A refused sign-in says so (signInRefused()).
    Status open(const ImapAccount& account);
    Result<ImapFolder> select(const QString& folder);
    // "UNSEEN SINCE 1-Dec-2026 …": the UIDs found, ascending.
    Result<QList<quint32>> search(const QByteArray& criteria);
    Result<QList<ImapSize>> sizes(const QList<quint32>& uids);
    // The whole mail as stored, its "seen" flag untouched; nothing when it is gone (moved or
    // deleted meanwhile, by another seat or the seller).
    Result<std::optional<QByteArray>> body(quint32 uid);
    // The folder made when missing; its name with the server's hierarchy separator.
    Result<QString> ensureFolder(const QString& slashPath);
    // Out of the selected folder into another: MOVE where the server has it, else copy, mark
    // deleted and expunge that one mail (UIDPLUS) or leave it marked.
    Status move(quint32 uid, const QString& folder);
    Status markSeen(quint32 uid);
    // Waits in IDLE until the server announces mail, `stopped` says so, or `seconds` passed;
    // true when mail came. Refused where the server does not offer IDLE.
    Result<bool> idle(int seconds, const std::function<bool()>& stopped);
    void logout();

    bool signInRefused() const { return signInRefused_; }
    bool has(const QByteArray& capability) const;
    // The conversation without passwords or tokens, for the error protocol.
    QStringList trace() const { return trace_; }
    // The server's certificate when it was refused; null otherwise.
    QSslCertificate refusedCertificate() const;

    // Seconds a response may take; its clock starts anew with every 64 KB or whole response.
    static void setReplyTimeoutSecs(int secs);
    // Tests only: trust this certificate besides the operating system's CAs.
    static void setExtraTrustedCertificate(const QSslCertificate& cert);

private:
    struct Io;
    // Sends one command and reads to its end; `answer` goes to the server's first go-ahead ("+").
    Result<QList<ImapResponse>> command(const QByteArray& text, const QByteArray& shown = {}, QByteArray answer = {});
    Status signIn(const ImapAccount& account);
    Status capabilities();
    std::unique_ptr<Io> io_;
    QList<QByteArray> caps_;
    QString server_;
    QChar separator_;
    bool separatorKnown_ = false;
    int tag_ = 0;
    bool signInRefused_ = false;
    QStringList trace_;
};

}  // namespace gd
