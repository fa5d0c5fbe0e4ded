#include "domain/bank/Csv.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>

#include "base/codepage.h"

namespace gd {
namespace {

QString utf16(const QByteArray& bytes, QStringConverter::Encoding e) {
    QStringDecoder d(e);
    return d(bytes);
}

// UTF-16 without a byte order mark: ASCII and Latin-1 text leaves every other byte NUL,
// which neither UTF-8 nor Windows-1252 text ever has.
std::optional<QStringConverter::Encoding> utf16ByNuls(const QByteArray& bytes) {
    const qsizetype pairs = std::min<qsizetype>(bytes.size(), 4096) / 2;
    qsizetype evenNul = 0, oddNul = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        evenNul += bytes[2 * i] == '\0';
        oddNul += bytes[2 * i + 1] == '\0';
    }
    if (pairs == 0) return std::nullopt;
    if (oddNul * 2 > pairs && evenNul * 8 < oddNul) return QStringConverter::Utf16LE;
    if (evenNul * 2 > pairs && oddNul * 8 < evenNul) return QStringConverter::Utf16BE;
    return std::nullopt;
}

}  // namespace

QString decoded(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) return utf16(bytes.mid(2), QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF")) return utf16(bytes.mid(2), QStringConverter::Utf16BE);
    if (const auto e = utf16ByNuls(bytes)) return utf16(bytes, *e);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? win::fromAnsi(bytes) : text;
}

Result<QString> decodedTable(const QByteArray& bytes) {
    const QString more = QStringLiteral(
        " So groß ist kein Kontoauszug und kein Bericht; bitte exportieren Sie einen kürzeren Zeitraum.");
    if (bytes.size() > kMostTableBytes)
        return Error::plain(QStringLiteral("Die Datei ist mit %1 MB größer als 16 MB.").arg(bytes.size() >> 20) + more);
    QString text = decoded(bytes);
    // Every separator a profile may use counts, quoted or not: the bound is on what a split could make.
    qsizetype fields = 0;
    for (const QChar c : std::as_const(text))
        fields += c == QLatin1Char(';') || c == QLatin1Char(',') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
    if (fields > kMostTableFields) return Error::plain(QStringLiteral("Die Datei hat mehr als 300.000 Felder.") + more);
    return text;
}

QList<CsvRecord> csvRecords(const QString& text, QChar separator) {
    QList<CsvRecord> out;
    QStringList rec;
    QString fieldText;
    bool quoted = false, any = false;
    int line = 1, recordLine = 1, fieldLine = 1;
    const auto endField = [&] {
        rec << fieldText;
        fieldText.clear();
        any = true;
        fieldLine = line;
    };
    const auto endRecord = [&] {
        if (any || !fieldText.isEmpty()) endField();
        if (std::any_of(rec.cbegin(), rec.cend(), [](const QString& f) { return !f.trimmed().isEmpty(); }))
            out << CsvRecord{rec, recordLine, 0};
        rec.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool lineBreak = c == QLatin1Char('\n') ||
                               (c == QLatin1Char('\r') && !(i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')));
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    fieldText += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                fieldText += c;
                if (lineBreak) ++line;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            endField();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
            endRecord();
            recordLine = fieldLine = ++line;
        } else {
            fieldText += c;
        }
    }
    // The rest of the file went into one field: none of it is trusted. Its start is named, not the
    // last quote: a stray quote inverts every later one.
    if (quoted)
        out << CsvRecord{rec, recordLine, fieldLine};
    else
        endRecord();
    return out;
}

// "01.12.2026", "01.12.26"
QDate germanDate(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*([0-9]{1,2})\.([0-9]{1,2})\.([0-9]{2}|[0-9]{4})\s*$)"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch()) return QDate::fromString(s.trimmed().left(10), Qt::ISODate);
    int year = m.captured(3).toInt();
    if (year < 100) year += 2000;
    return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
}

int column(const QStringList& header, const QStringList& names) {
    for (const QString& name : names)
        for (int i = 0; i < header.size(); ++i)
            if (header[i].trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace gd
