#pragma once
// Message encoding of the SMTP control: Base64 on bit texts, quoted-printable
// bodies and RFC 2047 header words, the address and date lines.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>

namespace gd {

QString Base64Encode(const QString& text, qint16 lineLength);
QString Base64Decode(const QString& text);
QString Base10ToBinary(qint32 n);
qint32 BinaryToBase10(const QString& bits);
std::array<QString, 4> Bin3x8To4x6(const QString& a, const QString& b, const QString& c);
std::array<QString, 3> Bin4x6To3x8(const QString& a, const QString& b, const QString& c, const QString& d);
QString RemoveFromString(const QString& text, const QString& part);

// Plain ASCII comes back unchanged; otherwise RFC 2047 "Q" words of at most 75
// characters, blank-separated, in ISO-8859-1, ISO-8859-15 or windows-1252 (the
// first that holds the text) or, for characters Windows-1252 lacks, UTF-8. The
// first word is at most firstRoom long: what the line has left after the field name.
QString EncodeHeader_qp(const QString& text, qsizetype firstRoom = 75);
QStringList encodedWords(const QString& text, qsizetype firstRoom = 75);
// A header line folded at blanks into lines of at most 78 characters (RFC 5322).
QString foldHeader(const QString& line);
// A body in quoted-printable and the charset its bytes are in.
template <class T>
struct QpEncoded {
    T body;
    QString charset;
};
QpEncoded<QString> EncodeBody_qp(const QString& text);
QString EncodeAddress_qp(const QString& address);
QString Decode_qp(const QString& message);
QString HexToChar(const QString& twoDigits);

// "Mon, 05 Jan 2005"
QString FormatMailDate(const QDateTime& local);
// Local time minus UTC in whole hours.
qint16 GetUTCOffset();
// "DATE: Mon, 05 Jan 2005 14:05:09 +0100"
QString mailDateLine(const QDateTime& local, qint16 utcOffset);
QString AddressLocalPart(const QString& address);

// EncodeBody_qp and wrapQuotedPrintable in one pass over the bytes: what a
// mail body is sent as, lines ending in CR LF.
QpEncoded<QByteArray> quotedPrintableBody(const QString& text);

// Body lines longer than 76 characters get soft line breaks; blanks at a line's
// end are written as "=20"/"=09" so servers cannot strip them.
QString wrapQuotedPrintable(const QString& encoded);

}  // namespace gd
