#include "domain/invoice/IssuedInvoices.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Documents.h"
#include "domain/db/Journal.h"
#include "domain/db/SearchFold.h"
#include "domain/invoice/EInvoice.h"
#include "domain/invoice/SmallBusiness.h"

namespace gd {
namespace {

// Rechnungen as readIssued reads it: a list holds no pages (each is tens of kilobytes), a document
// its pages and data too; the number of its cancellation follows the first eight columns.
const QString kIssuedColumns =
    QStringLiteral("r.Nummer, r.Art, r.Bezug, r.Artikel, r.Ausgestellt, r.Kaeufer, r.Cent, r.Sha256");
const QString kColumns =
    kIssuedColumns + QStringLiteral(
                         ", (select s.Nummer from Rechnungen s where s.Bezug = r.Nummer and s.Art = 'Storno'), r.Pdf, "
                         "(select x.Xml from RechnungenXml x where x.Nummer = r.Nummer), r.Daten");

QJsonObject toJson(const Invoice& inv) {
    QJsonArray items;
    for (const InvoiceItem& it : inv.Posten)
        items.append(QJsonObject{{QStringLiteral("AuktionsNr"), it.AuktionsNr},
                                 {QStringLiteral("Titel"), it.Titel},
                                 {QStringLiteral("Menge"), it.Menge},
                                 {QStringLiteral("Einzelpreis"), qint64(it.Einzelpreis)},
                                 {QStringLiteral("Steuersatz"), it.Steuersatz},
                                 {QStringLiteral("AuktionsID"), it.AuktionsID}});
    QJsonObject o{{QStringLiteral("Nummer"), inv.Nummer},
                  {QStringLiteral("Datum"), inv.Datum.toString(Qt::ISODate)},
                  {QStringLiteral("Bezug"), inv.Bezug},
                  {QStringLiteral("BezugDatum"), inv.BezugDatum.toString(Qt::ISODate)},
                  {QStringLiteral("Verkaeufer"), inv.Verkaeufer},
                  {QStringLiteral("VerkaeuferAnschrift"), QJsonArray::fromStringList(inv.VerkaeuferAnschrift)},
                  {QStringLiteral("VerkaeuferEmail"), inv.VerkaeuferEmail},
                  {QStringLiteral("Mitgliedsname"), inv.Mitgliedsname},
                  {QStringLiteral("Kaeufer"), QJsonArray::fromStringList(inv.Kaeufer)},
                  {QStringLiteral("KaeuferFirma"), inv.KaeuferFirma},
                  {QStringLiteral("KaeuferUstId"), inv.KaeuferUstId},
                  {QStringLiteral("ERechnung"), inv.ERechnung},
                  {QStringLiteral("Posten"), items},
                  {QStringLiteral("Versand"), qint64(inv.Versand)},
                  {QStringLiteral("Versicherung"), qint64(inv.Versicherung)},
                  {QStringLiteral("Kleinunternehmer"), inv.Kleinunternehmer},
                  {QStringLiteral("Steuerart"), inv.Steuerart},
                  {QStringLiteral("Lieferdatum"), inv.Lieferdatum.toString(Qt::ISODate)},
                  {QStringLiteral("Steuernummer"), inv.Steuernummer},
                  {QStringLiteral("UstId"), inv.UstId},
                  {QStringLiteral("Iban"), inv.Iban},
                  {QStringLiteral("Bic"), inv.Bic},
                  {QStringLiteral("Bank"), inv.Bank},
                  {QStringLiteral("Verwendungszweck"), inv.Verwendungszweck},
                  {QStringLiteral("Bezahlt"), qint64(inv.Bezahlt)},
                  {QStringLiteral("BezahltAm"), inv.BezahltAm.toString(Qt::ISODate)}};
    // Only where it holds: the data of the documents before it stay as they were kept.
    if (inv.Teilstorno) o.insert(QStringLiteral("Teilstorno"), true);
    return o;
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& s : v.toArray()) out << s.toString();
    return out;
}

Invoice fromJson(const QJsonObject& o) {
    Invoice inv;
    inv.Nummer = o.value(QStringLiteral("Nummer")).toString();
    inv.Datum = QDate::fromString(o.value(QStringLiteral("Datum")).toString(), Qt::ISODate);
    inv.Bezug = o.value(QStringLiteral("Bezug")).toString();
    inv.BezugDatum = QDate::fromString(o.value(QStringLiteral("BezugDatum")).toString(), Qt::ISODate);
    inv.Teilstorno = o.value(QStringLiteral("Teilstorno")).toBool();
    inv.Verkaeufer = o.value(QStringLiteral("Verkaeufer")).toString();
    inv.VerkaeuferAnschrift = strings(o.value(QStringLiteral("VerkaeuferAnschrift")));
    inv.VerkaeuferEmail = o.value(QStringLiteral("VerkaeuferEmail")).toString();
    inv.Mitgliedsname = o.value(QStringLiteral("Mitgliedsname")).toString();
    inv.Kaeufer = strings(o.value(QStringLiteral("Kaeufer")));
    inv.KaeuferFirma = o.value(QStringLiteral("KaeuferFirma")).toString();
    inv.KaeuferUstId = o.value(QStringLiteral("KaeuferUstId")).toString();
    inv.ERechnung = o.value(QStringLiteral("ERechnung")).toBool();
    for (const QJsonValue& v : o.value(QStringLiteral("Posten")).toArray()) {
        const QJsonObject it = v.toObject();
        inv.Posten << InvoiceItem{
            it.value(QStringLiteral("AuktionsNr")).toString(), it.value(QStringLiteral("Titel")).toString(),
            it.value(QStringLiteral("Menge")).toInt(),         it.value(QStringLiteral("Einzelpreis")).toInteger(),
            it.value(QStringLiteral("Steuersatz")).toInt(),    it.value(QStringLiteral("AuktionsID")).toString()};
    }
    inv.Versand = o.value(QStringLiteral("Versand")).toInteger();
    inv.Versicherung = o.value(QStringLiteral("Versicherung")).toInteger();
    inv.Kleinunternehmer = o.value(QStringLiteral("Kleinunternehmer")).toBool();
    inv.Steuerart = o.value(QStringLiteral("Steuerart")).toString();
    inv.Lieferdatum = QDate::fromString(o.value(QStringLiteral("Lieferdatum")).toString(), Qt::ISODate);
    inv.Steuernummer = o.value(QStringLiteral("Steuernummer")).toString();
    inv.UstId = o.value(QStringLiteral("UstId")).toString();
    inv.Iban = o.value(QStringLiteral("Iban")).toString();
    inv.Bic = o.value(QStringLiteral("Bic")).toString();
    inv.Bank = o.value(QStringLiteral("Bank")).toString();
    inv.Verwendungszweck = o.value(QStringLiteral("Verwendungszweck")).toString();
    inv.Bezahlt = o.value(QStringLiteral("Bezahlt")).toInteger();
    inv.BezahltAm = QDate::fromString(o.value(QStringLiteral("BezahltAm")).toString(), Qt::ISODate);
    return inv;
}

IssuedInvoice readIssued(const DbRow& r, bool withPage) {
    IssuedInvoice i;
    i.Nummer = r.text(0);
    i.Art = r.text(1);
    i.Bezug = i.Art != QStringLiteral("Rechnung") ? r.text(2) : r.text(8);
    i.Artikel = r.text(3).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    i.Ausgestellt = r.date(4);
    i.Kaeufer = r.text(5);
    i.Cent = r.int64(6);
    i.Sha256 = r.text(7);
    if (withPage) {
        i.Pdf = r.value(9).toByteArray();
        i.Xml = r.value(10).toByteArray();
    }
    return i;
}

// A document as issued, with the data it was made from.
struct IssuedRow {
    IssuedInvoice issued;
    QString daten;
};

// The next running number, read and taken in the caller's exclusive transaction: per year where the
// number shows the year, else across the years; past any number the series already holds (after
// the pattern was changed), so the first invoice of a year never meets a taken one.
int nextRunning(Database& db, const QString& pattern, int year) {
    const bool yearly = pattern.contains(QStringLiteral("{JJJJ}"));
    int running = 1;
    db.forEachRowWhile(yearly ? QStringLiteral("select coalesce(max(Lfd), 0) + 1 from Rechnungen where Jahr = ?")
                              : QStringLiteral("select coalesce(max(Lfd), 0) + 1 from Rechnungen"),
                       yearly ? Params{year} : Params{}, [&running](const DbRow& r) {
                           running = r.integer(0);
                           return false;
                       });
    while (db.exists(QStringLiteral("select 1 from Rechnungen where Nummer = ? or (Jahr = ? and Lfd = ?)"),
                     {invoiceNumber(pattern, year, running), year, running}))
        ++running;
    return running;
}

// LIKE takes `%` and `_` as they were typed.
QString likeText(const QString& s) {
    QString out = s;
    out.replace(QLatin1Char('!'), QStringLiteral("!!"))
        .replace(QLatin1Char('%'), QStringLiteral("!%"))
        .replace(QLatin1Char('_'), QStringLiteral("!_"));
    return out;
}

IssuedInvoice keep(Database& db, const Store& store, const Invoice& data, const QString& art, const QDateTime& now,
                   int running, const QByteArray& pdf, const QByteArray& xml) {
    IssuedInvoice i;
    i.Nummer = data.Nummer;
    i.Art = art;
    i.Bezug = data.Bezug;
    i.Ausgestellt = now;
    i.Kaeufer = data.Mitgliedsname;
    i.Cent = data.total();
    for (const InvoiceItem& it : data.Posten) i.Artikel << it.AuktionsNr;
    i.Pdf = pdf;
    i.Sha256 = QString::fromLatin1(QCryptographicHash::hash(pdf, QCryptographicHash::Sha256).toHex());
    db.execute(
        QStringLiteral("insert into Rechnungen (Nummer, Jahr, Lfd, Art, Bezug, Artikel, Ausgestellt, Kaeufer, "
                       "Cent, Daten, Pdf, Sha256, Standarduser) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {i.Nummer, now.date().year(), running, art, data.Bezug,
         QString(QLatin1Char(' ') + i.Artikel.join(QLatin1Char(' ')) + QLatin1Char(' ')), now, i.Kaeufer, i.Cent,
         QString::fromUtf8(QJsonDocument(toJson(data)).toJson(QJsonDocument::Compact)), pdf, i.Sha256, store.user});
    if (!xml.isEmpty())
        db.execute(QStringLiteral("insert into RechnungenXml (Nummer, Xml) values (?, ?)"), {i.Nummer, xml});
    chainDocument(db, i.Nummer, now, documentArchive(store.file));
    i.Xml = xml;
    return i;
}

Error refused(const QString& why) { return Error::plain(why); }

Error unknownNumber(const QString& nummer) {
    return refused(QStringLiteral("Eine Rechnung mit der Nummer \u201E%1\u201C gibt es nicht.").arg(nummer.trimmed()));
}

std::optional<IssuedRow> byNumber(Database& db, const Store& store, const QString& nummer);

// The valid invoice that holds the sale: its exact item number among the invoice's, and where
// two sales share the number, the sale itself (older invoices name only the buyer).
std::optional<IssuedInvoice> validInvoiceOf(Database& db, const QString& user, const QString& auktionsId) {
    std::optional<std::pair<QString, QString>> sale;  // item number, buyer
    db.forEachRowWhile(
        QStringLiteral("select AuktionsNr, ebayName from Auktionen where AuktionsID = ? and Standarduser = ?"),
        {auktionsId, user}, [&sale](const DbRow& r) {
            sale = std::pair(r.text(0).trimmed(), r.text(1));
            return false;
        });
    if (!sale) return std::nullopt;
    const auto& [nr, buyer] = *sale;
    // The candidates' numbers from the index alone (the rows hold the pages), then their rows.
    QStringList numbers, names;
    db.forEachRow(QStringLiteral("select r.Nummer from Rechnungen r where r.Standarduser = ? and r.Art = 'Rechnung' "
                                 "and r.Artikel like ? escape '!'"),
                  {user, QString(QStringLiteral("% ") + likeText(nr) + QStringLiteral(" %"))}, names,
                  [&numbers](const DbRow& r) { numbers << r.text(0); });
    std::optional<IssuedInvoice> newest;
    for (const QString& number : numbers) {
        const std::optional<IssuedRow> found = byNumber(db, Store{QString(), user}, number);
        if (!found) continue;
        const IssuedInvoice& i = found->issued;
        if (!i.valid() || !i.Artikel.contains(nr) || (newest && newest->Ausgestellt >= i.Ausgestellt)) continue;
        for (const InvoiceItem& it : invoiceData(found->daten).Posten)
            if (it.AuktionsID == auktionsId || (it.AuktionsID.isEmpty() && it.AuktionsNr == nr &&
                                                i.Kaeufer.compare(buyer, Qt::CaseInsensitive) == 0)) {
                newest = i;
                break;
            }
    }
    return newest;
}

// A document handed out again is the one issued: refused when its bytes or data were changed since.
std::optional<Error> tampered(Database& db, const Store& store, const QString& nummer) {
    const QString why = alteredDocument(db, store.file, nummer);
    if (why.isEmpty()) return std::nullopt;
    return Error{QStringLiteral("Der Beleg %1 wird nicht ausgegeben: er ist nicht mehr so, wie er ausgestellt wurde.")
                     .arg(nummer),
                 0, why + QStringLiteral(" Die Prüfung (--belege-pruefen) nennt alle Abweichungen.")};
}

// Before a number is taken: what the archive holds beyond the file comes back first (a file put
// back by hand, an older copy), so the series goes on after the highest number ever issued.
Result<QStringList> caughtUp(const Store& store) {
    if (store.tx) return QStringList{};  // inside the caller's transaction: a second writer would wait for it
    Result<QStringList> back = catchUpFromArchive(store.file);
    if (back.ok() && !back.value().isEmpty())
        back.value().prepend(QStringLiteral("Die Datenbank kannte nicht alle ausgestellten Belege:"));
    return back;
}

// After the issuing transaction: the document into the archive; what came back before it and a
// failure of the archive are said with the document.
void archive(const Store& store, IssuedInvoice& issued, const QStringList& broughtBack) {
    QStringList said = broughtBack;
    const Status kept = archiveDocument(store.file, issued.Nummer);
    if (!kept.ok())
        said << QStringLiteral(
                    "%1 ist ausgestellt, aber nicht im Belegarchiv: %2 Die Prüfung beim nächsten Start "
                    "ergänzt ihn.")
                    .arg(issued.Nummer, kept.error().message());
    issued.Hinweis = said.join(QLatin1Char(' '));
}

// An empty setting is the usual series.
QString series(const QString& pattern) {
    return pattern.trimmed().isEmpty() ? QStringLiteral("RE-{JJJJ}-{NNNN}") : pattern.trimmed();
}

std::optional<Error> unusableSeries(const QString& pattern);

std::optional<IssuedRow> byNumber(Database& db, const Store& store, const QString& nummer) {
    std::optional<IssuedRow> found;
    db.forEachRowWhile(QStringLiteral("select ") + kColumns +
                           QStringLiteral(" from Rechnungen r where r.Nummer = ? and r.Standarduser = ?"),
                       {nummer.trimmed(), store.user}, [&found](const DbRow& r) {
                           found = IssuedRow{readIssued(r, true), r.text(11)};
                           return false;
                       });
    return found;
}

}  // namespace

QString invoiceNumber(const QString& pattern, int year, int running) {
    QString out = pattern;
    out.replace(QStringLiteral("{JJJJ}"), QString::number(year));
    static const QRegularExpression digits(QStringLiteral("\\{(N+)\\}"));
    const QRegularExpressionMatch m = digits.match(out);
    if (m.hasMatch())
        out.replace(m.capturedStart(), m.capturedLength(),
                    QStringLiteral("%1").arg(running, int(m.capturedLength(1)), 10, QLatin1Char('0')));
    return out;
}

bool validNumberPattern(const QString& pattern) {
    static const QRegularExpression digits(QStringLiteral("\\{N+\\}"));
    return pattern.count(digits) == 1 && !pattern.contains(QLatin1Char(' ')) && pattern.size() <= 40;
}

namespace {

// What the journal says the buyer has paid of the invoice's sales by now.
void paidSoFar(Database& db, const QString& user, Invoice& inv) {
    QStringList ids;
    for (const InvoiceItem& it : inv.Posten) {
        db.forEachRowWhile(QStringLiteral("select AuktionsID from Auktionen where Standarduser = ? and AuktionsNr = ? "
                                          "order by EndeDatum desc limit 1"),
                           {user, it.AuktionsNr}, [&ids](const DbRow& r) {
                               ids << r.text(0);
                               return false;
                           });
    }
    qint64 received = 0;
    QDate last;
    for (const JournalEntry& e : journal::entries(db, user, ids)) {
        if (e.Art == art::Forderung || e.Art == art::Gebuehr) continue;
        received -= e.Cent;
        if (e.Cent < 0) last = e.Tag;
    }
    inv.Bezahlt = qBound<qint64>(0, received, qMax<qint64>(0, inv.total()));
    if (inv.paid()) inv.BezahltAm = last;
}

std::optional<Error> unusableSeries(const QString& pattern) {
    if (validNumberPattern(pattern)) return std::nullopt;
    return refused(QStringLiteral("Der Nummernkreis \u201E%1\u201C der Rechnungen braucht genau einen Platz für die "
                                  "laufende Nummer, etwa RE-{JJJJ}-{NNNN} (Einstellungen, Allgemein).")
                       .arg(pattern));
}

// The next number of the year, the page with it, and the invoice kept: inside the caller's transaction.
Result<IssuedInvoice> numberAndKeep(Database& db, const Store& store, Invoice data, const QString& art,
                                    const QString& pattern, const QDateTime& now, const InvoicePage& page) {
    const int running = nextRunning(db, pattern, now.date().year());
    data.Nummer = invoiceNumber(pattern, now.date().year(), running);
    if (!data.isCancellation()) data.Verwendungszweck = data.Nummer + QLatin1Char(' ') + data.Verwendungszweck;
    // The XML is kept with every invoice it can be made for; one that goes inside the PDF must be.
    const Result<QByteArray> xml = ciiXml(data);
    if (data.ERechnung && !xml.ok()) return xml.error();
    const QByteArray madeXml = xml.ok() ? xml.value() : QByteArray();
    const Result<QByteArray> pdf = page(data, madeXml);
    if (!pdf.ok()) return pdf.error();
    if (pdf.value().isEmpty()) return refused(QStringLiteral("Die Rechnung konnte nicht gesetzt werden."));
    return keep(db, store, data, art, now, running, pdf.value(), madeXml);
}

}  // namespace

Result<IssuedInvoice> issueInvoice(const Store& store, const InvoiceProfile& seller, const QString& auktionsNr,
                                   const QString& setting, const QDateTime& now, const InvoicePage& page) {
    CALLSTACK_MODULE("modRechnung");
    const QString pattern = series(setting);
    if (const std::optional<Error> bad = unusableSeries(pattern)) return *bad;
    return dbStep(QStringLiteral("Die Rechnung kann nicht ausgestellt werden:"), [&]() -> Result<IssuedInvoice> {
        const Result<QStringList> back = caughtUp(store);
        if (!back.ok()) return back.error();
        // One writer at a time (BEGIN IMMEDIATE): the number is read and taken, and the invoice kept.
        Transaction tx(store);
        Database db = tx.database();
        const Result<QString> sale = saleId(db, store.user, auktionsNr);
        if (!sale.ok()) return sale.error();
        if (std::optional<IssuedInvoice> i = validInvoiceOf(db, store.user, sale.value())) {
            if (const std::optional<Error> bad = tampered(db, store, i->Nummer)) return *bad;
            i->Hinweis = back.value().join(QLatin1Char(' '));
            return *i;
        }
        Result<Invoice> made = invoiceFor(store.within(tx), seller, sale.value(), now.date());
        if (!made.ok()) return made.error();
        paidSoFar(db, store.user, made.value());
        if (!made.value().AnschriftFehlt.isEmpty()) return refused(missingAddressText(made.value()));
        // From the sale that takes the year past the limit on, § 19 no longer holds: such an
        // invoice is issued with VAT only, once the options say so.
        if (made.value().Kleinunternehmer) {
            const qint64 limit = smallBusinessLimits(seller.smallBusinessLimitsText).thisYear;
            const Result<bool> beyond = beyondSmallBusinessLimit(store.within(tx), sale.value(), limit);
            if (!beyond.ok()) return beyond.error();
            if (beyond.value()) return refused(smallBusinessEndsText(limit));
        }
        Result<IssuedInvoice> issued =
            numberAndKeep(db, store, made.value(), QStringLiteral("Rechnung"), pattern, now, page);
        if (!issued.ok()) return issued;
        tx.commit();
        archive(store, issued.value(), back.value());
        return issued;
    });
}

namespace {

// A line's sale: its AuktionsID, or for invoices issued before they kept it, its item number.
bool lineOf(const InvoiceItem& it, const QString& auktionsId, const QString& nr) {
    return it.AuktionsID.isEmpty() ? it.AuktionsNr == nr : it.AuktionsID == auktionsId;
}

// The lines of an invoice no partial cancellation has taken.
QList<InvoiceItem> standingOf(Database& db, const QString& user, const QString& nummer,
                              const QList<InvoiceItem>& lines) {
    QList<InvoiceItem> taken;
    QStringList names;
    db.forEachRow(
        QStringLiteral("select Daten from Rechnungen where Standarduser = ? and Art = 'Teilstorno' and Bezug = ?"),
        {user, nummer}, names, [&taken](const DbRow& r) { taken << invoiceData(r.text(0)).Posten; });
    QList<InvoiceItem> standing;
    for (const InvoiceItem& it : lines)
        if (std::none_of(taken.begin(), taken.end(), [&it](const InvoiceItem& t) {
                return t.AuktionsID == it.AuktionsID && t.AuktionsNr == it.AuktionsNr;
            }))
            standing << it;
    return standing;
}

// The cancellation of the invoice's lines of `sales` (every line still standing when empty). The
// lines a partial cancellation took before are not cancelled twice; the one that takes the last
// lines takes shipping and insurance too, and cancels the invoice.
Result<IssuedInvoice> cancelLines(const Store& store, const QString& nummer, const QStringList& sales,
                                  const QString& setting, const QDateTime& now, const InvoicePage& page) {
    const QString pattern = series(setting);
    if (const std::optional<Error> bad = unusableSeries(pattern)) return *bad;
    return dbStep(QStringLiteral("Die Rechnung kann nicht storniert werden:"), [&]() -> Result<IssuedInvoice> {
        const Result<QStringList> back = caughtUp(store);
        if (!back.ok()) return back.error();
        Transaction tx(store);
        Database db = tx.database();
        const std::optional<IssuedRow> row = byNumber(db, store, nummer);
        if (!row) return unknownNumber(nummer);
        const IssuedInvoice& original = row->issued;
        if (const std::optional<Error> bad = tampered(db, store, original.Nummer)) return *bad;
        if (original.Art != QStringLiteral("Rechnung"))
            return refused(QStringLiteral("%1 ist selbst eine Stornorechnung.").arg(original.Nummer));
        if (!original.Bezug.isEmpty())
            return refused(
                QStringLiteral("Die Rechnung %1 ist bereits mit %2 storniert.").arg(original.Nummer, original.Bezug));
        Invoice data = invoiceData(row->daten);
        const QList<InvoiceItem> standing = standingOf(db, store.user, original.Nummer, data.Posten);
        QList<InvoiceItem> chosen = sales.isEmpty() ? standing : QList<InvoiceItem>();
        for (const QString& id : sales) {
            const QString nr = db.firstRow(QStringLiteral("select AuktionsNr from Auktionen where AuktionsID = ? and "
                                                          "Standarduser = ?"),
                                           {id, store.user}, [](const DbRow& r) { return r.text(0).trimmed(); })
                                   .value_or(QString());
            const auto it =
                std::find_if(standing.begin(), standing.end(), [&](const InvoiceItem& i) { return lineOf(i, id, nr); });
            if (it == standing.end())
                return refused(QStringLiteral("Der Artikel %1 steht auf der Rechnung %2 nicht mehr offen.")
                                   .arg(nr.isEmpty() ? id : nr, original.Nummer));
            chosen << *it;
        }
        const bool all = chosen.size() == standing.size();
        data.Posten = chosen;
        for (InvoiceItem& it : data.Posten) it.Einzelpreis = -it.Einzelpreis;
        data.Versand = all ? -data.Versand : 0;
        data.Versicherung = all ? -data.Versicherung : 0;
        data.Teilstorno = !all;
        data.Bezug = original.Nummer;
        data.BezugDatum = original.Ausgestellt.date();
        data.Datum = now.date();
        data.Iban.clear();  // nothing to pay
        Result<IssuedInvoice> issued = numberAndKeep(
            db, store, data, all ? QStringLiteral("Storno") : QStringLiteral("Teilstorno"), pattern, now, page);
        if (!issued.ok()) return issued;
        tx.commit();
        archive(store, issued.value(), back.value());
        return issued;
    });
}

}  // namespace

Result<IssuedInvoice> cancelInvoice(const Store& store, const QString& nummer, const QString& setting,
                                    const QDateTime& now, const InvoicePage& page) {
    CALLSTACK_MODULE("modRechnung");
    return cancelLines(store, nummer, {}, setting, now, page);
}

Result<QList<InvoiceItem>> standingLines(const Store& store, const QString& nummer) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die Rechnung kann nicht gelesen werden:"), [&]() -> Result<QList<InvoiceItem>> {
        Database db = store.open();
        const std::optional<IssuedRow> row = byNumber(db, store, nummer);
        if (!row) return unknownNumber(nummer);
        return standingOf(db, store.user, row->issued.Nummer, invoiceData(row->daten).Posten);
    });
}

Result<IssuedInvoice> cancelInvoiceLines(const Store& store, const QString& nummer, const QStringList& sales,
                                         const QString& setting, const QDateTime& now, const InvoicePage& page) {
    CALLSTACK_MODULE("modRechnung");
    if (sales.isEmpty()) return refused(QStringLiteral("Welche Artikel der Rechnung %1 werden storniert?").arg(nummer));
    return cancelLines(store, nummer, sales, setting, now, page);
}

Result<QString> expectedInvoiceNumber(const Store& store, const QString& sale, const QString& pattern,
                                      const QDateTime& now) {
    CALLSTACK_MODULE("modRechnung");
    const Result<std::optional<IssuedInvoice>> issued = invoiceOfSale(store, sale);
    if (!issued.ok()) return issued.error();
    if (issued.value()) return issued.value()->Nummer;
    const QString p = series(pattern);
    if (!validNumberPattern(p)) return QString();
    return dbStep(QStringLiteral("Die nächste Rechnungsnummer kann nicht gelesen werden:"), [&]() -> Result<QString> {
        Database db = store.open();
        return invoiceNumber(p, now.date().year(), nextRunning(db, p, now.date().year()));
    });
}

QString invoiceFileName(const QString& nummer, const QString& extension) {
    QString name = nummer.trimmed();
    static const QRegularExpression unfit(QStringLiteral(R"([/\\:*?"<>|\x00-\x1f])"));
    name.replace(unfit, QStringLiteral("-"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) name.prepend(QStringLiteral("Rechnung"));
    return name + extension;
}

bool isIssuedNumber(const Store& store, const QString& nummer) {
    // A failure reads as no: the look-up that follows says why.
    return dbStep(QString(),
                  [&]() -> Result<bool> {
                      Database db = store.open();
                      return db.exists(QStringLiteral("select 1 from Rechnungen where Nummer = ? and Standarduser = ?"),
                                       {nummer.trimmed(), store.user});
                  })
        .valueOr(false);
}

Result<std::optional<IssuedInvoice>> invoiceOfSale(const Store& store, const QString& reference) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die Rechnung kann nicht gelesen werden:"),
                  [&]() -> Result<std::optional<IssuedInvoice>> {
                      Database db = store.open();
                      const Result<QString> sale = saleId(db, store.user, reference);
                      if (!sale.ok()) return sale.error();
                      return validInvoiceOf(db, store.user, sale.value());
                  });
}

Result<std::pair<IssuedInvoice, Invoice>> issuedInvoice(const Store& store, const QString& nummer) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die Rechnung kann nicht gelesen werden:"),
                  [&]() -> Result<std::pair<IssuedInvoice, Invoice>> {
                      Database db = store.open();
                      const std::optional<IssuedRow> row = byNumber(db, store, nummer);
                      if (!row) return unknownNumber(nummer);
                      if (const std::optional<Error> bad = tampered(db, store, row->issued.Nummer)) return *bad;
                      return std::pair(row->issued, invoiceData(row->daten));
                  });
}

Result<QList<IssuedInvoice>> issuedInvoices(const Store& store, int year, const QString& search) {
    CALLSTACK_MODULE("modRechnung");
    return dbStep(QStringLiteral("Die Rechnungen können nicht gelesen werden:"), [&]() -> Result<QList<IssuedInvoice>> {
        Database db = store.open();
        // The cancellations joined once: Bezug has no index, a look-up per listed invoice read them all each time.
        QString sql = QStringLiteral("select ") + kIssuedColumns +
                      QStringLiteral(
                          ", s.Nummer from Rechnungen r left join (select Bezug, min(Nummer) as Nummer "
                          "from Rechnungen where Art = 'Storno' and Bezug is not null group by Bezug) s on "
                          "s.Bezug = r.Nummer where r.Standarduser = ?");
        Params params{store.user};
        if (year > 0) {
            sql += QStringLiteral(" and r.Jahr = ?");
            params << year;
        }
        if (!search.trimmed().isEmpty()) {
            // Folded on both sides as the trades' search folds: "MÜLLER" and "mueller" find "Müller" in
            // the file and on a server alike (LIKE alone folds A-Z in the file and nothing on a server).
            sql += QStringLiteral(
                " and (gd_fold(r.Nummer) like ? escape '!' or gd_fold(r.Kaeufer) like ? escape '!' or "
                "gd_fold(r.Artikel) like ? escape '!')");
            const QString like = QLatin1Char('%') + likeText(foldForSearch(search.trimmed())) + QLatin1Char('%');
            params << like << like << like;
        }
        QList<IssuedInvoice> out;
        QStringList names;
        db.forEachRow(sql + QStringLiteral(" order by r.Jahr desc, r.Lfd desc"), params, names,
                      [&out](const DbRow& r) { out << readIssued(r, false); });
        return out;
    });
}

Invoice invoiceData(const QString& daten) { return fromJson(QJsonDocument::fromJson(daten.toUtf8()).object()); }

Result<QByteArray> invoiceXml(const IssuedInvoice& issued, const Invoice& data) {
    if (!issued.Xml.isEmpty()) return issued.Xml;
    return ciiXml(data);
}

QString stateText(const IssuedInvoice& i) {
    if (i.Art == QStringLiteral("Storno")) return QStringLiteral("Storno zu ") + i.Bezug;
    if (i.Art == QStringLiteral("Teilstorno")) return QStringLiteral("Teilstorno zu ") + i.Bezug;
    return i.Bezug.isEmpty() ? QStringLiteral("gültig") : QStringLiteral("storniert durch ") + i.Bezug;
}

}  // namespace gd
