#include "domain/bank/Statement.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>

#include "base/Money.h"
#include "base/ReadFile.h"
#include "base/Words.h"
#include "base/codepage.h"
#include "domain/bank/Csv.h"
#include "domain/bank/Profiles.h"
#include "domain/bank/StatementZip.h"

namespace gd {
namespace {

QString lastOf(const QStringList& path, int n) {
    return path.mid(std::max<qsizetype>(0, path.size() - n)).join(QLatin1Char('/'));
}

// A field quoted in a reason: one line, and short enough for a message box.
QString shown(const QString& s) {
    const QString t = s.simplified();
    return t.size() > 40 ? t.left(39) + QChar(0x2026) : t;
}

// "2026-12-01", "2026-12-01T10:00:00+01:00"
QDate isoDate(const QString& s) { return QDate::fromString(s.left(10), Qt::ISODate); }

Error tooLarge(const QString& raw) {
    return Error::plain(QStringLiteral("Betrag „%1“ ist zu groß (mehr als 999.999.999,99 €)").arg(shown(raw)));
}

// Whole units and up to two decimals to cents, refused beyond the largest amount.
Result<qint64> centsFrom(const QString& raw, QString whole, QString frac) {
    while (whole.size() > 1 && whole.front() == QLatin1Char('0')) whole.remove(0, 1);
    // No sale comes near the limit, a misread field does; the digit count keeps the sum in range.
    if (whole.size() > 11) return tooLarge(raw);
    while (frac.size() < 2) frac += QLatin1Char('0');
    const qint64 cents = whole.toLongLong() * 100 + frac.toLongLong();
    if (cents > kMostCents) return tooLarge(raw);
    return cents;
}

// An XML decimal: "17.4", "17.40", "17"; further decimals only as zeros ("17.400").
Result<qint64> xmlCents(const QString& text) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*([0-9]{1,18})(?:\.([0-9]{1,2})(0*))?\s*$)"));
    if (text.trimmed().isEmpty()) return Error::plain(QStringLiteral("Betrag fehlt"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return Error::plain(
            QStringLiteral("Betrag „%1“ ist keine Zahl mit Dezimalpunkt und höchstens zwei Nachkommastellen")
                .arg(shown(text)));
    return centsFrom(text, m.captured(1), m.captured(2));
}

// The bank's balance lines between the entries: no money moved.
bool balanceLine(const QStringList& fields) {
    return std::any_of(fields.cbegin(), fields.cend(), [](const QString& f) {
        const QString t = f.trimmed();
        for (const char* label : {"Anfangssaldo", "Endsaldo", "Alter Kontostand", "Neuer Kontostand"})
            if (t.compare(QLatin1String(label), Qt::CaseInsensitive) == 0) return true;
        return false;
    });
}

bool isDirection(const QString& s) { return s == QLatin1String("S") || s == QLatin1String("H"); }

}  // namespace

Result<qint64> amountCents(const QString& typed) {
    QString t = typed.trimmed();
    if (t.isEmpty()) return Error::plain(QStringLiteral("Betrag fehlt"));
    const Error notGerman =
        Error::plain(QStringLiteral("Betrag „%1“ ist keine Zahl in deutscher Schreibweise").arg(shown(typed)));
    for (const QString& unit : {QStringLiteral("EUR"), QStringLiteral("\u20AC")}) {
        if (t.startsWith(unit)) {
            t = t.mid(unit.size()).trimmed();
            break;
        }
        if (t.endsWith(unit)) {
            t = t.chopped(unit.size()).trimmed();
            break;
        }
    }
    const auto sign = [](QChar c) { return c == QLatin1Char('-') || c == QChar(0x2212) || c == QLatin1Char('+'); };
    bool negative = false, hasSign = false;
    if (!t.isEmpty() && sign(t.front())) {
        hasSign = true;
        negative = t.front() != QLatin1Char('+');
        t = t.mid(1).trimmed();
    }
    if (!t.isEmpty() && sign(t.back())) {  // some banks put the sign behind
        if (hasSign) return notGerman;
        hasSign = true;
        negative = t.back() != QLatin1Char('+');
        t = t.chopped(1).trimmed();
    }
    // [0-9], not \d: other scripts' digits would match \d and read as 0.
    static const QRegularExpression point(QStringLiteral(R"(^([0-9]+)\.([0-9]{2})$)"));
    static const QRegularExpression ambiguous(QStringLiteral(R"(^[0-9]{1,3}\.[0-9]{3}$)"));
    static const QRegularExpression comma(QStringLiteral(
        R"(^([0-9]{1,3}(?:\.[0-9]{3})+|[0-9]{1,3}(?:[ \x{00A0}\x{202F}][0-9]{3})+|[0-9]+)(?:,([0-9]{1,2}))?$)"));
    QRegularExpressionMatch m;
    // A signed amount comes from a bank's own export, which writes a comma.
    if (!hasSign && (m = point.match(t)).hasMatch()) return centsFrom(typed, m.captured(1), m.captured(2));
    // 29,40 € or 29.400,00 €: guessing would book the wrong sum.
    if (ambiguous.match(t).hasMatch())
        return Error::plain(QStringLiteral("Betrag „%1“ ist mehrdeutig (Punkt als Tausender- oder Dezimaltrennzeichen)")
                                .arg(shown(typed)));
    m = comma.match(t);
    if (!m.hasMatch()) return notGerman;
    static const QRegularExpression groups(QStringLiteral(R"([. \x{00A0}\x{202F}])"));
    const Result<qint64> c = centsFrom(typed, m.captured(1).remove(groups), m.captured(2));
    if (!c.ok() || !negative) return c;
    return -c.value();
}

bool returnText(const QString& text) {
    static const QRegularExpression words(
        QStringLiteral("r(ü|ue|u)ck(lastschrift|belastung|buchung)|lastschriftr(ü|ue)ckgabe|retoure lastschrift"),
        QRegularExpression::CaseInsensitiveOption);
    return words.match(text).hasMatch();
}

std::optional<qint64> centsOf(const QString& typed) {
    const Result<qint64> c = amountCents(typed);
    return c.ok() ? std::optional<qint64>(c.value()) : std::nullopt;
}

// A statement nests about a dozen levels; a year of a busy account has some thousand entries.
constexpr int kMostCamtDepth = 64;

Result<BankStatement> parseCamt053(const QByteArray& xml) {
    struct Tx {
        std::optional<qint64> cents;
        QString name, zweck, iban, direction, payee, payeeIban;  // payee: the creditor of money out
    };
    const Error doctype = Error::plain(
        QStringLiteral("Der Kontoauszug enthält eine DOCTYPE-Deklaration. Solche Dateien werden zum Schutz vor "
                       "manipulierten Dateien nicht gelesen."));
    if (xml.contains("<!DOCTYPE")) return doctype;
    if (xml.size() > kMostCamtBytes)
        return Error::plain(
            QStringLiteral("Der CAMT-Kontoauszug ist größer als 8 MB; bitte laden Sie einen kürzeren "
                           "Zeitraum herunter."));
    BankStatement st;
    st.Format = QStringLiteral("CAMT.053");
    QXmlStreamReader r(xml);
    qsizetype held = 0;  // entries and their transactions
    QStringList path;
    // One entry at a time: its own fields and its transactions.
    bool inEntry = false;
    int entries = 0;
    QString direction, status, amountText, ccy, dayText, entryInfo, ref;
    bool reversal = false;
    QDate day;
    QList<Tx> txs;
    const auto addTo = [](QString& s, const QString& more) {
        if (!more.trimmed().isEmpty()) s += (s.isEmpty() ? QString() : QStringLiteral(" ")) + more.trimmed();
    };
    while (!r.atEnd()) {
        r.readNext();
        if (r.isDTD()) return doctype;
        if (r.isStartElement()) {
            if (path.size() >= kMostCamtDepth)
                return Error::plain(
                    QStringLiteral("Der Kontoauszug ist zu tief verschachtelt (Zeile %1).").arg(r.lineNumber()));
            path << r.name().toString();
            const QString name = path.back();
            if ((name == QLatin1String("Ntry") || name == QLatin1String("TxDtls")) && ++held > kMostEntries)
                return Error::plain(
                    QStringLiteral("Der Kontoauszug hat mehr als 100.000 Buchungen; bitte exportieren "
                                   "Sie einen kürzeren Zeitraum."));
            if (name == QLatin1String("Ntry")) {
                inEntry = true;
                ++entries;
                direction.clear();
                status.clear();
                amountText.clear();
                ccy.clear();
                dayText.clear();
                entryInfo.clear();
                ref.clear();
                reversal = false;
                day = QDate();
                txs.clear();
            } else if (inEntry && name == QLatin1String("TxDtls")) {
                txs.append(Tx{});
            } else if (inEntry && name == QLatin1String("Amt")) {
                const QString unit = r.attributes().value(QStringLiteral("Ccy")).toString().trimmed();
                const QString text = r.readElementText();
                path.removeLast();
                if (lastOf(path, 1) == QLatin1String("Ntry")) {
                    amountText = text.trimmed();
                    ccy = unit;
                } else if (!txs.isEmpty() && (lastOf(path, 1) == QLatin1String("TxDtls") ||
                                              lastOf(path, 2) == QLatin1String("AmtDtls/TxAmt"))) {
                    const Result<qint64> c = xmlCents(text);
                    if (unit == QLatin1String("EUR") && c.ok()) txs.back().cents = c.value();
                }
            } else if (inEntry) {
                // Only leaves are read here: a container read as text would swallow its transactions.
                const QString p2 = lastOf(path, 2), p3 = lastOf(path, 3), p4 = lastOf(path, 4);
                const auto text = [&r, &path] {
                    const QString t = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                    path.removeLast();
                    return t;
                };
                if (p2 == QLatin1String("Ntry/CdtDbtInd"))
                    direction = text();
                else if (p2 == QLatin1String("Ntry/RvslInd"))
                    reversal = text() == QLatin1String("true");
                else if (!txs.isEmpty() && p2 == QLatin1String("TxDtls/CdtDbtInd"))
                    txs.back().direction = text();
                else if (p2 == QLatin1String("Ntry/Sts"))
                    status = text();
                else if (p3 == QLatin1String("Ntry/BookgDt/Dt") || p3 == QLatin1String("Ntry/BookgDt/DtTm")) {
                    dayText = text();
                    day = isoDate(dayText);
                } else if (p2 == QLatin1String("Ntry/NtryRef"))
                    ref = text();
                else if (p2 == QLatin1String("Ntry/AcctSvcrRef")) {
                    const QString t = text();
                    if (ref.isEmpty()) ref = t;
                } else if (p2 == QLatin1String("Ntry/AddtlNtryInf"))
                    entryInfo = text();
                else if (!txs.isEmpty() &&
                         (p3 == QLatin1String("RltdPties/Dbtr/Nm") || p4 == QLatin1String("RltdPties/Dbtr/Pty/Nm")))
                    txs.back().name = text();
                else if (!txs.isEmpty() && p3 == QLatin1String("DbtrAcct/Id/IBAN"))
                    txs.back().iban = text();
                else if (!txs.isEmpty() &&
                         (p3 == QLatin1String("RltdPties/Cdtr/Nm") || p4 == QLatin1String("RltdPties/Cdtr/Pty/Nm")))
                    txs.back().payee = text();
                else if (!txs.isEmpty() && p3 == QLatin1String("CdtrAcct/Id/IBAN"))
                    txs.back().payeeIban = text();
                else if (!txs.isEmpty() &&
                         (p2 == QLatin1String("RmtInf/Ustrd") || p2 == QLatin1String("CdtrRefInf/Ref")))
                    addTo(txs.back().zweck, text());
            }
        } else if (r.isEndElement()) {
            const QString name = path.isEmpty() ? QString() : path.takeLast();
            if (name != QLatin1String("Ntry") || !inEntry) continue;
            inEntry = false;
            const auto skip = [&](const QString& grund, const Tx* tx = nullptr) {
                if (!tx && !txs.isEmpty()) tx = &txs.front();
                st.NichtGelesen.append(BankStatement::Skipped{entries, amountText.left(64),
                                                              tx ? tx->name.simplified() : QString(), grund, ref});
            };
            // No status: taken as booked, which is what an end-of-day statement holds.
            if (!status.isEmpty() && status != QLatin1String("BOOK")) {
                ++st.Vorgemerkt;
                continue;
            }
            QString all = entryInfo;
            for (const Tx& t : txs) all += QLatin1Char(' ') + t.zweck;
            if (direction == QLatin1String("DBIT") && !reversal && !returnText(all)) {
                ++st.Lastschriften;  // one transfer out, booked in euro, may be a refund to a buyer
                const Tx& t = txs.isEmpty() ? Tx{} : txs.front();
                const Result<qint64> c = t.cents ? Result<qint64>(*t.cents) : xmlCents(amountText);
                if (txs.size() == 1 && day.isValid() && ccy == QLatin1String("EUR") && c.ok() && c.value() > 0)
                    st.Ausgaenge.append(Credit{day, c.value(), t.payee, t.zweck.isEmpty() ? entryInfo : t.zweck,
                                               t.payeeIban, ref, QString(), 0});
                continue;
            }
            if (direction == QLatin1String("CRDT") && reversal) {
                skip(QStringLiteral("Gutschrift als Storno gekennzeichnet (RvslInd): keine Zahlung"));
                continue;
            }
            if (direction != QLatin1String("CRDT") && direction != QLatin1String("DBIT")) {
                skip(
                    direction.isEmpty()
                        ? QStringLiteral("Soll/Haben-Kennzeichen (CdtDbtInd) fehlt")
                        : QStringLiteral("Soll/Haben-Kennzeichen „%1“ ist weder CRDT noch DBIT").arg(shown(direction)));
                continue;
            }
            if (ccy.isEmpty() && !amountText.isEmpty()) {
                skip(QStringLiteral("Währung fehlt"));
                continue;
            }
            if (!ccy.isEmpty() && ccy != QLatin1String("EUR")) {
                skip(QStringLiteral("Währung „%1“ statt EUR").arg(shown(ccy)));
                continue;
            }
            if (!day.isValid()) {
                skip(dayText.isEmpty() ? QStringLiteral("Buchungstag fehlt")
                                       : QStringLiteral("Buchungstag „%1“ ist kein Datum").arg(shown(dayText)));
                continue;
            }
            if (txs.isEmpty()) txs.append(Tx{});
            // Several transactions in one entry (a batch): each its own credit when each has its amount;
            // otherwise no one can tell who paid what, and the entry is listed, never given to its first payer.
            const bool each = txs.size() > 1 &&
                              std::all_of(txs.cbegin(), txs.cend(), [](const Tx& t) { return t.cents.has_value(); });
            if (txs.size() > 1 && !each) {
                skip(QStringLiteral("Sammelbuchung von %1 Zahlungen ohne die Beträge der einzelnen: bitte im "
                                    "Online-Banking zuordnen")
                         .arg(txs.size()));
                continue;
            }
            if (!each && !(txs.size() == 1 && txs.front().cents)) {
                const Result<qint64> c = xmlCents(amountText);
                if (!c.ok()) {
                    skip(c.error().sentence);
                    continue;
                }
                txs.front().cents = c.value();
            }
            for (qsizetype k = 0; k < txs.size(); ++k) {
                const Tx& t = txs[k];
                const QString id = ref.isEmpty() || !each ? ref : ref + QLatin1Char('/') + QString::number(k + 1);
                const Credit c{day,    *t.cents, t.name,    t.zweck.isEmpty() ? entryInfo : t.zweck,
                               t.iban, id,       QString(), 0};
                // Money out inside this entry, or the whole entry a return: taken back, never paid.
                const bool back = direction == QLatin1String("DBIT") || t.direction == QLatin1String("DBIT");
                if (*t.cents <= 0)
                    skip(QStringLiteral("Betrag ist 0,00 €, keine Zahlung"), &t);
                else if (back)
                    st.Rueckbuchungen.append(c);
                else
                    st.Gutschriften.append(c);
                if (!each) break;
            }
        }
    }
    if (r.hasError())
        return Error::plain(QStringLiteral("Der Kontoauszug ist keine lesbare CAMT-Datei (Zeile %1: %2).")
                                .arg(r.lineNumber())
                                .arg(r.errorString()));
    return st;
}

namespace {

// The columns of a bank's table; -1 where it has none.
struct BankColumns {
    int date = -1, amount = -1, name = -1, zweck = -1, iban = -1, info = -1, currency = -1, direction = -1;
};

// Cooperative banks write the amount unsigned and the direction beside it, S (out) or H (in),
// at times under no heading at all.
int unnamedDirection(const QList<CsvRecord>& records, qsizetype h, int amount) {
    if (!records[h].fields.value(amount + 1).trimmed().isEmpty()) return -1;
    for (qsizetype i = h + 1; i < records.size(); ++i)
        if (isDirection(records[i].fields.value(amount + 1).trimmed())) return amount + 1;
    return -1;
}

BankStatement readRows(const QList<CsvRecord>& records, qsizetype h, const BankColumns& cols) {
    const int date = cols.date, amount = cols.amount, name = cols.name, zweck = cols.zweck, iban = cols.iban,
              info = cols.info, currency = cols.currency, direction = cols.direction;
    const int needed = std::max(date, amount) + 1;
    BankStatement st;
    st.Format = QStringLiteral("CSV");
    for (qsizetype i = h + 1; i < records.size(); ++i) {
        const CsvRecord& rec = records[i];
        const QStringList& f = rec.fields;
        const auto at = [&f](int c) { return c >= 0 && c < f.size() ? f[c].simplified() : QString(); };
        const auto skip = [&](const QString& grund) {
            st.NichtGelesen.append(
                BankStatement::Skipped{rec.line, f.value(amount).trimmed().left(64), at(name), grund, QString()});
        };
        if (rec.openQuote > 0) {
            skip(QStringLiteral(
                     "Anführungszeichen nicht geschlossen (ab Zeile %1), der Rest der Datei ist nicht gelesen")
                     .arg(rec.openQuote));
            break;
        }
        if (balanceLine(f)) continue;
        // Money out: a returned debit reopens what it paid; anything else is no business of ours.
        const auto takenBack = [&](qint64 cents) {  // 0: the amount column says it
            const QDate day = germanDate(at(date));
            const Result<qint64> c = cents < 0 ? Result<qint64>(cents) : amountCents(f.value(amount));
            const bool read = day.isValid() && c.ok() && c.value() != 0;
            const Credit entry{day, read ? qAbs(c.value()) : 0, at(name), at(zweck), at(iban), QString(), QString(), 0};
            if (read && returnText(f.join(QLatin1Char(' ')))) {
                st.Rueckbuchungen.append(entry);
                return;
            }
            ++st.Lastschriften;
            if (read) st.Ausgaenge.append(entry);  // perhaps a refund to a buyer
        };
        if (f.size() < needed) {
            skip(QStringLiteral("Zeile hat %1 statt mindestens %2")
                     .arg(counted(f.size(), QStringLiteral("Feld"), QStringLiteral("Felder")))
                     .arg(needed));
            continue;
        }
        // Pending lines may still change or vanish.
        if (at(info).contains(QStringLiteral("vorgemerkt"), Qt::CaseInsensitive)) {
            ++st.Vorgemerkt;
            continue;
        }
        if (direction >= 0) {
            const QString d = at(direction);
            if (!isDirection(d)) {
                skip(d.isEmpty() ? QStringLiteral("Soll/Haben-Kennzeichen fehlt")
                                 : QStringLiteral("Soll/Haben-Kennzeichen „%1“ ist weder S noch H").arg(shown(d)));
                continue;
            }
            // A refund paid out is never a payment received, whatever its amount reads.
            if (d == QLatin1String("S")) {
                takenBack(0);  // unsigned beside its S: read below
                continue;
            }
        }
        const Result<qint64> cents = amountCents(f[amount]);
        if (!cents.ok()) {
            skip(cents.error().sentence);
            continue;
        }
        if (cents.value() < 0 && direction >= 0) {
            skip(QStringLiteral("Betrag „%1“ ist negativ, das Kennzeichen sagt aber H (Haben)").arg(shown(f[amount])));
            continue;
        }
        if (cents.value() < 0) {
            takenBack(cents.value());
            continue;
        }
        if (currency >= 0) {
            const QString unit = at(currency);
            if (unit.isEmpty()) {
                skip(QStringLiteral("Währung fehlt"));
                continue;
            }
            if (unit != QLatin1String("EUR")) {
                skip(QStringLiteral("Währung „%1“ statt EUR").arg(shown(unit)));
                continue;
            }
        }
        if (cents.value() == 0) {
            skip(QStringLiteral("Betrag ist 0,00 €, keine Zahlung"));
            continue;
        }
        const QDate day = germanDate(at(date));
        if (!day.isValid()) {
            skip(at(date).isEmpty() ? QStringLiteral("Buchungstag fehlt")
                                    : QStringLiteral("Buchungstag „%1“ ist kein Datum").arg(shown(at(date))));
            continue;
        }
        st.Gutschriften.append(Credit{day, cents.value(), at(name), at(zweck), at(iban), QString(), QString(), 0});
    }
    return st;
}

}  // namespace

Result<BankStatement> parseBankCsv(const QByteArray& bytes) { return parseBankCsv(bytes, loadProfiles()); }

Result<BankStatement> parseBankCsv(const QByteArray& bytes, const QList<FileProfile>& profiles) {
    const Result<QString> table = decodedTable(bytes);
    if (!table.ok()) return table.error();
    const QString& text = table.value();
    // A profile that knows the bank's export first: its headings say what each column is.
    const ProfileMatch known = recogniseProfile(text, profiles, QStringLiteral("Bank"));
    if (known.profile) {
        const QStringList& header = known.records[known.header].fields;
        const auto col = [&](const char* role) {
            return roleColumn(*known.profile, QString::fromLatin1(role), header);
        };
        BankColumns c{col("Buchungstag"), col("Betrag"), col("Name"),     col("Verwendungszweck"),
                      col("IBAN"),        col("Status"), col("Waehrung"), col("SollHaben")};
        // Some exports have a currency for the balance too: the amount's is the one beside it.
        if (c.amount >= 0 &&
            column(header.mid(c.amount + 1, 1), known.profile->headings(QStringLiteral("Waehrung"))) == 0)
            c.currency = c.amount + 1;
        if (c.date >= 0 && c.amount >= 0) {
            if (c.direction < 0) c.direction = unnamedDirection(known.records, known.header, c.amount);
            BankStatement st = readRows(known.records, known.header, c);
            st.Profil = known.profile->name;
            return st;
        }
    }
    const QList<CsvRecord> records = csvRecords(text);
    // Else by the usual headings. Banks put lines about the account above the table: the header
    // is the first record that names a booking day and an amount.
    for (qsizetype h = 0; h < records.size() && records[h].openQuote == 0; ++h) {
        const QStringList& header = records[h].fields;
        const int date = column(header, QStringList{QStringLiteral("Buchungstag"), QStringLiteral("Buchung"),
                                                    QStringLiteral("Buchungsdatum"), QStringLiteral("Datum")});
        const int amount = column(
            header, QStringList{QStringLiteral("Betrag"), QStringLiteral("Betrag (EUR)"), QStringLiteral("Betrag (€)"),
                                QStringLiteral("Umsatz"), QStringLiteral("Betrag in EUR")});
        if (date < 0 || amount < 0) continue;
        const int name =
            column(header, QStringList{QStringLiteral("Beguenstigter/Zahlungspflichtiger"),
                                       QStringLiteral("Begünstigter/Zahlungspflichtiger"),
                                       QStringLiteral("Auftraggeber/Empfänger"), QStringLiteral("Zahlungspflichtige*r"),
                                       QStringLiteral("Name Zahlungsbeteiligter"),
                                       QStringLiteral("Auftraggeber / Begünstigter"),
                                       QStringLiteral("Empfänger/Zahlungspflichtiger"), QStringLiteral("Name")});
        const int zweck =
            column(header, QStringList{QStringLiteral("Verwendungszweck"), QStringLiteral("Vorgang/Verwendungszweck")});
        const int iban =
            column(header, QStringList{QStringLiteral("Kontonummer/IBAN"), QStringLiteral("IBAN"),
                                       QStringLiteral("IBAN Zahlungsbeteiligter"), QStringLiteral("Kontonummer")});
        const int info = column(header, QStringList{QStringLiteral("Info"), QStringLiteral("Status")});
        // Some exports have a currency for the balance too: the amount's is the one beside it.
        const QStringList currencyNames{QStringLiteral("Waehrung"), QStringLiteral("Währung")};
        const int currency =
            column(header.mid(amount + 1, 1), currencyNames) == 0 ? amount + 1 : column(header, currencyNames);
        int direction =
            column(header, QStringList{QStringLiteral("Soll/Haben"), QStringLiteral("S/H"),
                                       QStringLiteral("Soll-Haben"), QStringLiteral("Soll/Haben-Kennzeichen")});
        if (direction < 0) direction = unnamedDirection(records, h, amount);
        BankStatement st =
            readRows(records, h, BankColumns{date, amount, name, zweck, iban, info, currency, direction});
        st.Profil = QStringLiteral("allgemein (nach Spaltennamen)");
        return st;
    }
    const int open = records.isEmpty() ? 0 : records.back().openQuote;
    return Error::plain(
        QStringLiteral("In der Datei steht keine Umsatztabelle mit den Spalten „Buchungstag“ und "
                       "„Betrag“; sie ist weder ein CAMT-Kontoauszug noch ein CSV-Export einer Bank.") +
        (open > 0 ? QStringLiteral(" Ab Zeile %1 ist ein Anführungszeichen nicht geschlossen.").arg(open) : QString()));
}

Result<BankStatement> parseStatement(const QByteArray& bytes) {
    if (decoded(bytes.left(512)).trimmed().startsWith(QLatin1Char('<'))) return parseCamt053(bytes);
    const QList<FileProfile> profiles = loadProfiles();
    if (recogniseProfile(decoded(bytes.left(64 * 1024)), profiles, QStringLiteral("PayPal")).profile)
        return parsePayPal(bytes, profiles);
    return parseBankCsv(bytes, profiles);
}

Result<BankStatement> parsePayPal(const QByteArray& bytes, const QList<FileProfile>& profiles) {
    const Result<QString> table = decodedTable(bytes);
    if (!table.ok()) return table.error();
    const ProfileMatch m = recogniseProfile(table.value(), profiles, QStringLiteral("PayPal"));
    if (!m.profile)
        return Error::plain(QStringLiteral("Kein Profil in Dateiformate.ini erkennt die Datei als PayPal-Bericht."));
    const FileProfile& p = *m.profile;
    const QStringList& header = m.records[m.header].fields;
    const auto col = [&](const char* role) { return roleColumn(p, QString::fromLatin1(role), header); };
    const int day = col("Buchungstag"), amount = col("Betrag"), fee = col("Gebuehr"), name = col("Name"),
              email = col("Email"), status = col("Status"), ref = col("Referenz"), item = col("Artikelnummer"),
              note = col("Verwendungszweck"), currency = col("Waehrung");
    if (day < 0 || amount < 0 || status < 0)
        return Error::plain(
            QStringLiteral("Das Profil „%1“ erkennt die Datei, aber Datum, Brutto oder Status fehlen.").arg(p.name));
    const QStringList done =
        p.spalten.value(QStringLiteral("Abgeschlossen")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    BankStatement st;
    st.Format = QStringLiteral("PayPal");
    st.Profil = p.name;
    for (qsizetype i = m.header + 1; i < m.records.size(); ++i) {
        const CsvRecord& rec = m.records[i];
        const auto at = [&](int c) { return c >= 0 ? rec.fields.value(c).simplified() : QString(); };
        const auto skip = [&](const QString& why) {
            st.NichtGelesen << BankStatement::Skipped{rec.line, at(amount).left(64), at(name).left(64), why, at(ref)};
        };
        if (rec.openQuote > 0) {
            skip(QStringLiteral("Anführungszeichen nicht geschlossen, der Rest der Datei ist nicht gelesen"));
            break;
        }
        // Pending, refused or reversed payments are no money received.
        if (std::none_of(done.begin(), done.end(),
                         [&](const QString& d) { return at(status).compare(d, Qt::CaseInsensitive) == 0; })) {
            ++st.Vorgemerkt;
            continue;
        }
        const Result<qint64> cents = amountCents(at(amount));
        if (!cents.ok()) {
            skip(cents.error().sentence);
            continue;
        }
        if (cents.value() <= 0) {
            ++st.Lastschriften;
            continue;
        }
        if (currency >= 0 && at(currency) != QLatin1String("EUR")) {
            skip(QStringLiteral("Währung „%1“ statt EUR").arg(at(currency).left(10)));
            continue;
        }
        const QDate booked = germanDate(at(day));
        if (!booked.isValid()) {
            skip(QStringLiteral("Datum „%1“ ist kein Datum").arg(at(day).left(20)));
            continue;
        }
        const Result<qint64> kept = at(fee).isEmpty() ? Result<qint64>(qint64(0)) : amountCents(at(fee));
        if (!kept.ok()) {
            skip(kept.error().sentence);
            continue;
        }
        QStringList zweck{at(item), at(note)};
        zweck.removeAll(QString());
        st.Gutschriften << Credit{booked,    cents.value(), at(name),  zweck.join(QLatin1Char(' ')),
                                  QString(), at(ref),       at(email), kept.value() < 0 ? -kept.value() : kept.value()};
    }
    return st;
}

Result<BankStatement> readStatement(const QString& path) {
    const Result<QByteArray> bytes = readBoundedFile(path, kMostTableBytes);
    if (!bytes.ok()) return bytes.error();
    return isZip(bytes.value()) ? parseStatementZip(bytes.value()) : parseStatement(bytes.value());
}

QString statementCounts(const BankStatement& st) {
    QStringList parts;
    if (!st.NichtGelesen.isEmpty())
        parts << (st.NichtGelesen.size() == 1 ? QStringLiteral("1 Eintrag nicht lesbar")
                                              : QStringLiteral("%1 Einträge nicht lesbar").arg(st.NichtGelesen.size()));
    if (st.Lastschriften > 0)
        parts << (st.Lastschriften == 1 ? QStringLiteral("1 Lastschrift")
                                        : QStringLiteral("%1 Lastschriften").arg(st.Lastschriften));
    if (st.Vorgemerkt > 0)
        parts << (st.Vorgemerkt == 1 ? QStringLiteral("1 vorgemerkte Buchung")
                                     : QStringLiteral("%1 vorgemerkte Buchungen").arg(st.Vorgemerkt));
    return parts.isEmpty() ? QString()
                           : parts.join(QStringLiteral(", ")) + QStringLiteral(" (nicht als Zahlung gezählt).");
}

QStringList unreadLines(const BankStatement& st) {
    QStringList out;
    for (const BankStatement::Skipped& s : st.NichtGelesen) {
        QString line = (st.Format == QLatin1String("CSV") ? QStringLiteral("Zeile %1") : QStringLiteral("Buchung %1"))
                           .arg(s.Zeile);
        if (!s.Betrag.isEmpty()) line += QStringLiteral(": ") + s.Betrag;
        if (!s.Name.isEmpty()) line += QStringLiteral(" (") + s.Name + QLatin1Char(')');
        line += QStringLiteral(" – ") + s.Grund;
        out << line;
    }
    return out;
}

}  // namespace gd
