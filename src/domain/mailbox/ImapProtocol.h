#pragma once
// The IMAP dialogue's pieces without a socket: responses cut out of what the server sends
// (literals taken by their announced length, so nothing inside a mail can pass for a reply),
// their tokens, and the names and strings the client writes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace gd {

struct ImapResponse {
    enum class Kind { Untagged, Continuation, Tagged };
    Kind kind = Kind::Untagged;
    QByteArray tag;              // of a tagged response
    QByteArray text;             // what follows "*", "+" or the tag; each literal as {#k}
    QList<QByteArray> literals;  // in order
    // The first word in capitals: "OK", "NO", "BAD", "BYE", "PREAUTH", "CAPABILITY", or a number.
    QByteArray word() const;
    // The text after the first word, a response code included: "[UIDVALIDITY 3] UIDs valid".
    QByteArray rest() const;
};

class ImapReader final {
public:
    // A line may hold a search result for every mail of a large mailbox; a literal at most a
    // mail the import takes and a little more.
    ImapReader(qsizetype maxLine, qint64 maxLiteral) : maxLine_(maxLine), maxLiteral_(maxLiteral) {}
    void feed(const QByteArray& bytes);
    // The next whole response, or nothing until more bytes come (or after an error).
    std::optional<ImapResponse> next();
    // Why the server's data cannot be read on; reading stops for good.
    const QString& error() const { return error_; }
    // Bytes of the response being read so far: progress for a long one.
    qint64 pending() const { return qint64(line_.size()) + literalBytes_ + (buf_.size() - pos_); }

private:
    qsizetype maxLine_;
    qint64 maxLiteral_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    QByteArray line_;
    QList<QByteArray> literals_;
    qint64 literalBytes_ = 0;
    qint64 literalLeft_ = -1;  // bytes of the literal still to come; -1: reading a line
    QString error_;
};

// The tokens of a response's text: atoms ("BODY[HEADER.FIELDS (SUBJECT)]" is one), numbers,
// quoted strings, literals, parentheses.
struct ImapToken {
    enum class Type { Atom, String, Literal, Open, Close, End };
    Type type = Type::End;
    QByteArray text;  // an atom's or a string's (unquoted) text
    int literal = -1;
    bool isNil() const { return type == Type::Atom && text.compare("NIL", Qt::CaseInsensitive) == 0; }
};

class ImapTokens final {
public:
    explicit ImapTokens(const QByteArray& text, qsizetype from = 0) : t_(text), i_(from) {}
    ImapToken next();
    // Skips what the next token opens: a parenthesised list whole, else the one token.
    void skipValue();

private:
    QByteArray t_;  // shared, not copied
    qsizetype i_;
};

// "INBOX", "Gaveldesk/Eingelesen", "Verkäufe": in IMAP's modified UTF-7 (RFC 3501 5.1.3).
QByteArray encodeMailboxName(const QString& name);
QString decodeMailboxName(const QByteArray& name);
// A quoted string; nullopt where IMAP's quoted form cannot hold the text (a line break, a
// NUL, or letters beyond ASCII): then the caller sends a literal.
std::optional<QByteArray> quoted(const QByteArray& text);
// "1:4,7,9:12" of ascending UIDs.
QByteArray uidSet(const QList<quint32>& ascending);

}  // namespace gd
