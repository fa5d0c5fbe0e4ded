#include "domain/bank/Statement.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include "base/codepage.h"

namespace gd {
namespace {

constexpr qint64 kMostBytes = 64 * 1024 * 1024;

QString lastOf(const QStringList& path, int n) { return path.mid(std::max<qsizetype>(0, path.size() - n)).join(QLatin1Char('/')); }

// "2026-12-01", "2026-12-01T10:00:00+01:00"
QDate isoDate(const QString& s) { return QDate::fromString(s.left(10), Qt::ISODate); }

// "01.12.2026", "01.12.26"
QDate germanDate(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{1,2})\.(\d{1,2})\.(\d{2}|\d{4})\s*$)"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch()) return isoDate(s.trimmed());
    int year = m.captured(3).toInt();
    if (year < 100) year += 2000;
    return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
}

QString decoded(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? win::fromAnsi(bytes) : text;
}

// Records of `;`-separated fields; quotes may hold separators, doubled quotes and line breaks.
QList<QStringList> csvRecords(const QString& text) {
    QList<QStringList> out;
    QStringList rec;
    QString fieldText;
    bool quoted = false, any = false;
    const auto endField = [&] {
        rec << fieldText;
        fieldText.clear();
        any = true;
    };
    const auto endRecord = [&] {
        if (any || !fieldText.isEmpty()) endField();
        if (!(rec.size() == 1 && rec.front().trimmed().isEmpty())) out << rec;
        rec.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
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
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            endField();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
            endRecord();
        } else {
            fieldText += c;
        }
    }
    endRecord();
    return out;
}

// The column of the first heading the record has, -1 for none.
int column(const QStringList& header, std::initializer_list<const char*> names) {
    for (const char* name : names)
        for (int i = 0; i < header.size(); ++i)
            if (header[i].trimmed().compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// An XML decimal: "17.4", "17.40", "17".
std::optional<qint64> xmlCents(const QString& text) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{1,12})(?:\.(\d{1,2}))?\s*$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    QString frac = m.captured(2);
    while (frac.size() < 2) frac += QLatin1Char('0');
    return m.captured(1).toLongLong() * 100 + frac.toLongLong();
}

}  // namespace

std::optional<qint64> centsOf(const QString& typed) {
    QString t = typed.trimmed();
    t.remove(QChar(0x20AC)).remove(QStringLiteral("EUR")).remove(QLatin1Char(' ')).remove(QChar(0xA0));
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.front() == QLatin1Char('-');
        t.remove(0, 1);
    }
    if (t.endsWith(QLatin1Char('-'))) {  // some banks put the sign behind
        negative = true;
        t.chop(1);
    }
    static const QRegularExpression comma(QStringLiteral(R"(^(\d{1,3}(?:\.\d{3})+|\d+)(?:,(\d{1,2}))?$)"));
    static const QRegularExpression point(QStringLiteral(R"(^(\d+)\.(\d{2})$)"));
    QRegularExpressionMatch m = comma.match(t);
    if (!m.hasMatch()) m = point.match(t);
    if (!m.hasMatch()) return std::nullopt;
    const QString whole = m.captured(1).remove(QLatin1Char('.'));
    if (whole.size() > 12) return std::nullopt;
    QString frac = m.captured(2);
    while (frac.size() < 2) frac += QLatin1Char('0');
    const qint64 cents = whole.toLongLong() * 100 + frac.toLongLong();
    return negative ? -cents : cents;
}

QString euroText(qint64 cents) {
    const qint64 a = cents < 0 ? -cents : cents;
    QString whole = QString::number(a / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char('.'));
    return (cents < 0 ? QStringLiteral("-") : QString()) + whole + QLatin1Char(',') +
           QStringLiteral("%1").arg(a % 100, 2, 10, QLatin1Char('0')) + QStringLiteral(" \u20AC");
}

Result<QList<Credit>> parseCamt053(const QByteArray& xml) {
    struct Tx {
        std::optional<qint64> cents;
        QString name, zweck, iban;
    };
    QList<Credit> out;
    QXmlStreamReader r(xml);
    QStringList path;
    // One entry at a time: its own fields and its transactions.
    bool inEntry = false, credit = false, booked = true, euro = true;
    std::optional<qint64> entryCents;
    QDate day;
    QString entryInfo;
    QList<Tx> txs;
    const auto addTo = [](QString& s, const QString& more) {
        if (!more.trimmed().isEmpty()) s += (s.isEmpty() ? QString() : QStringLiteral(" ")) + more.trimmed();
    };
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            path << r.name().toString();
            const QString name = path.back();
            if (name == QLatin1String("Ntry")) {
                inEntry = true;
                credit = false;
                booked = true;
                euro = true;
                entryCents.reset();
                day = QDate();
                entryInfo.clear();
                txs.clear();
            } else if (inEntry && name == QLatin1String("TxDtls")) {
                txs.append(Tx{});
            } else if (inEntry && name == QLatin1String("Amt")) {
                const QString ccy = r.attributes().value(QStringLiteral("Ccy")).toString();
                const QString text = r.readElementText();
                path.removeLast();
                const std::optional<qint64> c = xmlCents(text);
                const QString where = lastOf(path, 1);
                if (where == QLatin1String("Ntry")) {
                    entryCents = c;
                    euro = ccy.isEmpty() || ccy == QLatin1String("EUR");
                } else if (!txs.isEmpty() && (lastOf(path, 1) == QLatin1String("TxDtls") ||
                                              lastOf(path, 2) == QLatin1String("AmtDtls/TxAmt"))) {
                    if (ccy.isEmpty() || ccy == QLatin1String("EUR")) txs.back().cents = c;
                }
            } else if (inEntry) {
                // Only leaves are read here: a container read as text would swallow its transactions.
                const QString p2 = lastOf(path, 2), p3 = lastOf(path, 3), p4 = lastOf(path, 4);
                const auto text = [&r, &path] {
                    const QString t = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    path.removeLast();
                    return t;
                };
                if (p2 == QLatin1String("Ntry/CdtDbtInd")) credit = text() == QLatin1String("CRDT");
                else if (p2 == QLatin1String("Ntry/Sts")) {
                    const QString t = text();
                    booked = t.isEmpty() || t == QLatin1String("BOOK");
                } else if (p3 == QLatin1String("Ntry/BookgDt/Dt") || p3 == QLatin1String("Ntry/BookgDt/DtTm"))
                    day = isoDate(text());
                else if (p2 == QLatin1String("Ntry/AddtlNtryInf")) entryInfo = text();
                else if (!txs.isEmpty() && (p3 == QLatin1String("RltdPties/Dbtr/Nm") ||
                                            p4 == QLatin1String("RltdPties/Dbtr/Pty/Nm")))
                    txs.back().name = text();
                else if (!txs.isEmpty() && p3 == QLatin1String("DbtrAcct/Id/IBAN"))
                    txs.back().iban = text();
                else if (!txs.isEmpty() && (p2 == QLatin1String("RmtInf/Ustrd") || p2 == QLatin1String("CdtrRefInf/Ref")))
                    addTo(txs.back().zweck, text());
            }
        } else if (r.isEndElement()) {
            const QString name = path.isEmpty() ? QString() : path.takeLast();
            if (name == QLatin1String("Ntry")) {
                inEntry = false;
                if (!credit || !booked || !euro || !day.isValid()) continue;
                if (txs.isEmpty()) txs.append(Tx{});
                // Several transactions in one entry (a batch): each its own credit when each has its amount.
                bool each = txs.size() > 1;
                for (const Tx& t : txs) each = each && t.cents.has_value();
                for (const Tx& t : txs) {
                    const std::optional<qint64> c = each ? t.cents : (txs.size() == 1 && t.cents ? t.cents : entryCents);
                    if (!c || *c <= 0) continue;
                    out.append(Credit{day, *c, t.name, t.zweck.isEmpty() ? entryInfo : t.zweck, t.iban});
                    if (!each) break;
                }
            }
        }
    }
    if (r.hasError())
        return Error::plain(QStringLiteral("Der Kontoauszug ist keine lesbare CAMT-Datei (Zeile %1: %2).")
                                .arg(r.lineNumber())
                                .arg(r.errorString()));
    return out;
}

Result<QList<Credit>> parseBankCsv(const QByteArray& bytes) {
    const QList<QStringList> records = csvRecords(decoded(bytes));
    // Banks put lines about the account above the table: the header is the first record
    // that names a booking day and an amount.
    for (qsizetype h = 0; h < records.size(); ++h) {
        const QStringList& header = records[h];
        const int date = column(header, {"Buchungstag", "Buchung", "Buchungsdatum", "Datum"});
        const int amount = column(header, {"Betrag", "Betrag (EUR)", "Betrag (€)", "Umsatz", "Betrag in EUR"});
        if (date < 0 || amount < 0) continue;
        const int name = column(header, {"Beguenstigter/Zahlungspflichtiger", "Begünstigter/Zahlungspflichtiger",
                                         "Auftraggeber/Empfänger", "Zahlungspflichtige*r", "Name Zahlungsbeteiligter",
                                         "Auftraggeber / Begünstigter", "Empfänger/Zahlungspflichtiger", "Name"});
        const int zweck = column(header, {"Verwendungszweck", "Vorgang/Verwendungszweck"});
        const int iban = column(header, {"Kontonummer/IBAN", "IBAN", "IBAN Zahlungsbeteiligter", "Kontonummer"});
        const int info = column(header, {"Info", "Status"});
        const int currency = column(header, {"Waehrung", "Währung"});
        QList<Credit> out;
        for (qsizetype i = h + 1; i < records.size(); ++i) {
            const QStringList& f = records[i];
            if (f.size() <= std::max(date, amount)) continue;
            // Pending lines may still change or vanish.
            if (info >= 0 && info < f.size() && f[info].contains(QStringLiteral("vorgemerkt"), Qt::CaseInsensitive))
                continue;
            if (currency >= 0 && currency < f.size() && !f[currency].trimmed().isEmpty() &&
                f[currency].trimmed() != QLatin1String("EUR"))
                continue;
            const std::optional<qint64> cents = centsOf(f[amount]);
            const QDate day = germanDate(f[date]);
            if (!cents || *cents <= 0 || !day.isValid()) continue;
            const auto at = [&f](int c) { return c >= 0 && c < f.size() ? f[c].simplified() : QString(); };
            out.append(Credit{day, *cents, at(name), at(zweck), at(iban)});
        }
        return out;
    }
    return Error::plain(QStringLiteral("In der Datei steht keine Umsatztabelle mit den Spalten „Buchungstag“ und "
                                       "„Betrag“; sie ist weder ein CAMT-Kontoauszug noch ein CSV-Export einer Bank."));
}

Result<BankStatement> parseStatement(const QByteArray& bytes) {
    const QByteArray head = bytes.left(512).trimmed();
    const bool xml = head.startsWith("<?xml") || head.startsWith("\xEF\xBB\xBF<") || head.startsWith("<");
    if (xml) {
        Result<QList<Credit>> c = parseCamt053(bytes);
        if (!c.ok()) return c.error();
        return BankStatement{QStringLiteral("CAMT.053"), c.value()};
    }
    Result<QList<Credit>> c = parseBankCsv(bytes);
    if (!c.ok()) return c.error();
    return BankStatement{QStringLiteral("CSV"), c.value()};
}

Result<BankStatement> readStatement(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Error::plain(QStringLiteral("Der Kontoauszug '%1' kann nicht gelesen werden: %2").arg(path, f.errorString()));
    if (f.size() > kMostBytes)
        return Error::plain(QStringLiteral("Der Kontoauszug '%1' ist mit %2 MB zu groß für einen Kontoauszug.")
                                .arg(path)
                                .arg(f.size() / (1024 * 1024)));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return Error::plain(QStringLiteral("Der Kontoauszug '%1' kann nicht gelesen werden: %2").arg(path, f.errorString()));
    return parseStatement(bytes);
}

}  // namespace gd
