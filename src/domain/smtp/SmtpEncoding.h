#pragma once
// Message encoding of the SMTP control: Base64 on bit texts, quoted-printable
// bodies and RFC 2047 header words, the address and date lines.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace gd {

QString Base64Encode(const QString& text, qint16 lineLength);
QString Base64Decode(const QString& text);
QString Base10ToBinary(qint32 n);
qint32 BinaryToBase10(const QString& bits);
void Bin3x8To4x6(const QString& a, const QString& b, const QString& c, QString& o1, QString& o2, QString& o3,
                 QString& o4);
void Bin4x6To3x8(const QString& a, const QString& b, const QString& c, const QString& d, QString& o1, QString& o2,
                 QString& o3);
QString RemoveFromString(const QString& text, const QString& part);

// Plain ASCII comes back unchanged; otherwise one encoded word.
QString EncodeHeader_qp(const QString& text);
// The charset name comes back through the second argument.
QString EncodeBody_qp(const QString& text, QString& charset);
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

// Body lines longer than 76 characters get soft line breaks; blanks at a line's
// end are written as "=20"/"=09" so servers cannot strip them.
QString wrapQuotedPrintable(const QString& encoded);

}  // namespace gd
