#pragma once
// Saved notification emails: a plain text file (UTF-8 or Windows-1252), an HTML
// file, an .eml message whose text body (text/plain, else text/html as a mail
// program shows it) is read through its transfer encoding and charset, or an mbox
// mailbox of such messages.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "base/Result.h"

namespace gd {

// The body text, or nullopt with a German reason in *error.
// No notification is this large; a larger text is refused to keep memory bounded.
inline constexpr qint64 kMaxMailBytes = 16ll << 20;
// A mailbox is read one mail at a time; the file and the texts of its mails are held together.
inline constexpr qint64 kMaxMailboxBytes = 32ll << 20;
inline constexpr qsizetype kMaxMailboxMails = 10000;
inline constexpr qsizetype kMaxMailboxChars = 16ll << 20;

struct MailText {
    QString text;
    QString error;  // why this mail could not be read; text is empty then
    QString label;  // "E-Mail 2 von 3" for a mail of a mailbox
};

// Every mail of the file (one but for a mailbox), or nullopt with a German reason
// when the file itself cannot be read.
Result<QList<MailText>> readMails(const QString& path);
// The first mail of the file.
Result<QString> readMailFile(const QString& path);
// The text of a saved message: its plain part, else its HTML part as text.
Result<QString> decodeMimeMessage(const QByteArray& message);

QByteArray decodeQuotedPrintable(const QByteArray& in);

}  // namespace gd
