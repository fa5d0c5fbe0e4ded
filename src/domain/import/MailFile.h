#pragma once
// Saved notification emails: a plain text file (UTF-8 or Windows-1252), or an
// .eml message whose text/plain body is read through its transfer encoding
// (quoted-printable, base64) and its charset.

#include <QByteArray>
#include <QString>
#include <optional>

namespace gd {

// The body text, or nullopt with a German reason in *error.
// No notification is this large; a larger text is refused to keep memory bounded.
inline constexpr qint64 kMaxMailBytes = 16ll << 20;

std::optional<QString> readMailFile(const QString& path, QString* error);
std::optional<QString> decodeMimeMessage(const QByteArray& message, QString* error);

QByteArray decodeQuotedPrintable(const QByteArray& in);

}  // namespace gd
