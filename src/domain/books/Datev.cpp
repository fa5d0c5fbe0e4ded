#include "domain/books/Datev.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/Words.h"
#include "base/codepage.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"
#include "domain/invoice/Invoice.h"
#include "domain/invoice/IssuedInvoices.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/TaxData.h"

namespace gd {
namespace {

constexpr int kColumns = 125;  // format version 13
enum Column {
    Umsatz = 1,
    SollHaben = 2,
    WkzUmsatz = 3,
    Konto = 7,
    Gegenkonto = 8,
    BuSchluessel = 9,
    Belegdatum = 10,
    Belegfeld1 = 11,
    Belegfeld2 = 12,
    Buchungstext = 14,
};

// Line 2, the column names as DATEV's sample files write them.
QString columnNames() {
    QStringList n{QStringLiteral("Umsatz (ohne Soll/Haben-Kz)"),
                  QStringLiteral("Soll/Haben-Kennzeichen"),
                  QStringLiteral("WKZ Umsatz"),
                  QStringLiteral("Kurs"),
                  QStringLiteral("Basis-Umsatz"),
                  QStringLiteral("WKZ Basis-Umsatz"),
                  QStringLiteral("Konto"),
                  QStringLiteral("Gegenkonto (ohne BU-Schlüssel)"),
                  QStringLiteral("BU-Schlüssel"),
                  QStringLiteral("Belegdatum"),
                  QStringLiteral("Belegfeld 1"),
                  QStringLiteral("Belegfeld 2"),
                  QStringLiteral("Skonto"),
                  QStringLiteral("Buchungstext"),
                  QStringLiteral("Postensperre"),
                  QStringLiteral("Diverse Adressnummer"),
                  QStringLiteral("Geschäftspartnerbank"),
                  QStringLiteral("Sachverhalt"),
                  QStringLiteral("Zinssperre"),
                  QStringLiteral("Beleglink")};
    for (int i = 1; i <= 8; ++i)
        n << QStringLiteral("Beleginfo - Art %1").arg(i) << QStringLiteral("Beleginfo - Inhalt %1").arg(i);
    n << QStringLiteral("KOST1 - Kostenstelle") << QStringLiteral("KOST2 - Kostenstelle")
      << QStringLiteral("Kost-Menge") << QStringLiteral("EU-Land u. UStID (Bestimmung)")
      << QStringLiteral("EU-Steuersatz (Bestimmung)") << QStringLiteral("Abw. Versteuerungsart")
      << QStringLiteral("Sachverhalt L+L") << QStringLiteral("Funktionsergänzung L+L")
      << QStringLiteral("BU 49 Hauptfunktionstyp") << QStringLiteral("BU 49 Hauptfunktionsnummer")
      << QStringLiteral("BU 49 Funktionsergänzung");
    for (int i = 1; i <= 20; ++i)
        n << QStringLiteral("Zusatzinformation - Art %1").arg(i)
          << QStringLiteral("Zusatzinformation- Inhalt %1").arg(i);
    n << QStringLiteral("Stück") << QStringLiteral("Gewicht") << QStringLiteral("Zahlweise")
      << QStringLiteral("Forderungsart") << QStringLiteral("Veranlagungsjahr")
      << QStringLiteral("Zugeordnete Fälligkeit") << QStringLiteral("Skontotyp") << QStringLiteral("Auftragsnummer")
      << QStringLiteral("Buchungstyp") << QStringLiteral("USt-Schlüssel (Anzahlungen)")
      << QStringLiteral("EU-Land (Anzahlungen)") << QStringLiteral("Sachverhalt L+L (Anzahlungen)")
      << QStringLiteral("EU-Steuersatz (Anzahlungen)") << QStringLiteral("Erlöskonto (Anzahlungen)")
      << QStringLiteral("Herkunft-Kz") << QStringLiteral("Buchungs GUID") << QStringLiteral("KOST-Datum")
      << QStringLiteral("SEPA-Mandatsreferenz") << QStringLiteral("Skontosperre")
      << QStringLiteral("Gesellschaftername") << QStringLiteral("Beteiligtennummer")
      << QStringLiteral("Identifikationsnummer") << QStringLiteral("Zeichnernummer")
      << QStringLiteral("Postensperre bis") << QStringLiteral("Bezeichnung SoBil-Sachverhalt")
      << QStringLiteral("Kennzeichen SoBil-Buchung") << QStringLiteral("Festschreibung")
      << QStringLiteral("Leistungsdatum") << QStringLiteral("Datum Zuord. Steuerperiode")
      << QStringLiteral("Fälligkeit") << QStringLiteral("Generalumkehr (GU)") << QStringLiteral("Steuersatz")
      << QStringLiteral("Land") << QStringLiteral("Abrechnungsreferenz") << QStringLiteral("BVV-Position")
      << QStringLiteral("EU-Land u. UStID (Ursprung)") << QStringLiteral("EU-Steuersatz (Ursprung)")
      << QStringLiteral("Abw. Skontokonto");
    Q_ASSERT(n.size() == kColumns);
    return n.join(QLatin1Char(';'));
}

// How many texts of the export lost letters Windows-1252 lacks: the user is told.
int& transliterated() {
    thread_local int n = 0;
    return n;
}

// Greek and Cyrillic as a German reader spells them, and the Latin letters no accent makes.
QString latinOf(QChar c) {
    static const QHash<QChar, QString> table = [] {
        QHash<QChar, QString> t;
        const char16_t* const pairs[][2] = {
            {u"Α", u"A"},  {u"Β", u"V"},    {u"Γ", u"G"},  {u"Δ", u"D"},  {u"Ε", u"E"},  {u"Ζ", u"Z"},  {u"Η", u"I"},
            {u"Θ", u"Th"}, {u"Ι", u"I"},    {u"Κ", u"K"},  {u"Λ", u"L"},  {u"Μ", u"M"},  {u"Ν", u"N"},  {u"Ξ", u"X"},
            {u"Ο", u"O"},  {u"Π", u"P"},    {u"Ρ", u"R"},  {u"Σ", u"S"},  {u"Τ", u"T"},  {u"Υ", u"Y"},  {u"Φ", u"F"},
            {u"Χ", u"Ch"}, {u"Ψ", u"Ps"},   {u"Ω", u"O"},  {u"ς", u"s"},  {u"А", u"A"},  {u"Б", u"B"},  {u"В", u"V"},
            {u"Г", u"G"},  {u"Д", u"D"},    {u"Е", u"E"},  {u"Ж", u"Zh"}, {u"З", u"Z"},  {u"И", u"I"},  {u"Й", u"Y"},
            {u"К", u"K"},  {u"Л", u"L"},    {u"М", u"M"},  {u"Н", u"N"},  {u"О", u"O"},  {u"П", u"P"},  {u"Р", u"R"},
            {u"С", u"S"},  {u"Т", u"T"},    {u"У", u"U"},  {u"Ф", u"F"},  {u"Х", u"Kh"}, {u"Ц", u"Ts"}, {u"Ч", u"Ch"},
            {u"Ш", u"Sh"}, {u"Щ", u"Shch"}, {u"Ъ", u""},   {u"Ы", u"Y"},  {u"Ь", u""},   {u"Э", u"E"},  {u"Ю", u"Yu"},
            {u"Я", u"Ya"}, {u"І", u"I"},    {u"Ї", u"Yi"}, {u"Є", u"Ye"}, {u"Ґ", u"G"},  {u"Ё", u"E"},  {u"Ł", u"L"},
            {u"Đ", u"D"},  {u"Ħ", u"H"},    {u"Ŧ", u"T"},  {u"Ŋ", u"N"},  {u"ı", u"i"},  {u"Ə", u"E"},  {u"ĸ", u"k"}};
        for (const auto& p : pairs) {
            const QString upper = QString::fromUtf16(p[0]), latin = QString::fromUtf16(p[1]);
            t.insert(upper[0], latin);
            const QString lower = upper.toLower();
            if (lower != upper) t.insert(lower[0], latin.toLower());
        }
        return t;
    }();
    return table.value(c, QStringLiteral("?"));
}

// Text in double quotes, a quote doubled; no line breaks (DATEV refuses control characters);
// letters Windows-1252 lacks lose their accent ("ř" → "r") or are spelt in Latin letters
// ("Δημήτρης" → "Dimitris", "Ł" → "L") rather than becoming "?".
QString quoted(QString s, int most) {
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f\\x7f]+"));
    s.replace(control, QStringLiteral(" "));
    QString out;
    bool changed = false;
    // Greek "ου" is one sound: "Papadopoulos", not "Papadopoylos".
    for (const auto& [greek, latin] :
         {std::pair{u"ου", u"ou"}, {u"ού", u"ou"}, {u"Ου", u"Ou"}, {u"Ού", u"Ou"}, {u"ΟΥ", u"OU"}}) {
        if (!s.contains(QString::fromUtf16(greek))) continue;
        s.replace(QString::fromUtf16(greek), QString::fromUtf16(latin));
        changed = true;
    }
    for (const QChar c : s.simplified()) {
        if (win::representable(QString(c))) {
            out += c;
            continue;
        }
        changed = true;
        const QString base = QString(c).normalized(QString::NormalizationForm_D).left(1);
        out += win::representable(base) ? base : latinOf(base[0]);
    }
    if (changed) ++transliterated();
    out = out.left(most);
    return QLatin1Char('"') + out.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Belegfeld 1: letters, digits and _ $ & % * + - / only, at most 36.
QString documentField(const QString& s) {
    QString out;
    for (const QChar c : s)
        if ((c.unicode() < 128 && c.isLetterOrNumber()) || QStringLiteral("_$&%*+-/").contains(c)) out += c;
    return QLatin1Char('"') + out.left(36) + QLatin1Char('"');
}

QString amount(qint64 cents) {
    const qint64 a = cents < 0 ? -cents : cents;
    return QStringLiteral("%1,%2").arg(a / 100).arg(a % 100, 2, 10, QLatin1Char('0'));
}

struct Row {
    std::array<QString, kColumns + 1> f;  // 1-based
    Row() = default;
    QString line() const {
        QStringList l;
        for (int i = 1; i <= kColumns; ++i) l << f[std::size_t(i)];
        return l.join(QLatin1Char(';'));
    }
};

Row booking(qint64 cents, bool debit, const DatevAccount& konto, const QString& gegenkonto, const QDate& day,
            const QString& beleg1, const QString& beleg2, const QString& text, const QString& key) {
    Row r;
    r.f[Umsatz] = amount(cents);
    r.f[SollHaben] = debit ? QStringLiteral("\"S\"") : QStringLiteral("\"H\"");
    r.f[WkzUmsatz] = QStringLiteral("\"EUR\"");
    r.f[Konto] = konto.konto;
    r.f[Gegenkonto] = gegenkonto;
    // DATEV's current table writes a key with four digits: "2" is "0002".
    if (!key.trimmed().isEmpty()) r.f[BuSchluessel] = quoted(key.trimmed().rightJustified(4, QLatin1Char('0')), 4);
    r.f[Belegdatum] = day.toString(QStringLiteral("ddMM"));
    r.f[Belegfeld1] = documentField(beleg1);
    if (!beleg2.isEmpty()) r.f[Belegfeld2] = documentField(beleg2.left(12));
    r.f[Buchungstext] = quoted(text, 60);
    return r;
}

// The revenue account of one rate of an invoice.
QString revenueFor(TaxMode mode, int rate) {
    switch (mode) {
        case TaxMode::Standard:
            return rate == 7 ? QStringLiteral("Erloese7") : QStringLiteral("Erloese19");
        case TaxMode::Margin:
            return QStringLiteral("Erloese25a");
        case TaxMode::SmallBusiness:
        case TaxMode::None:
            break;
    }
    return QStringLiteral("Erloese19UStG");
}

QDate fiscalYearStart(const QString& ttmm, const QDate& day) {
    const int d = ttmm.left(2).toInt(), m = ttmm.mid(2, 2).toInt();
    QDate start(day.year(), m, d);
    if (!start.isValid()) start = QDate(day.year(), 1, 1);
    return start > day ? start.addYears(-1) : start;
}

// What each sale's journal says the books need: its claim, the day its first money came (paid,
// part paid or written off), and its valid invoice.
struct SaleMoney {
    QString ebayName;
    QDate ende, first;
    qint64 claim = 0;
};
struct SalesMoney {
    QHash<QString, SaleMoney> byNr;
    QHash<QString, std::pair<QString, QDate>> validInvoice;  // item number: number, day issued
    QHash<QString, int> rates;                               // item number: the rate chosen for it
    QHash<QString, QString> firstItem;                       // an invoice's number: its first item number
    // An invoice (or its cancellation) issued after the sale's first money: the revenue was booked
    // with that money already, the invoice adds none.
    bool revenueWithPayment(const QString& nr, const QDate& issued) const {
        const auto it = byNr.constFind(nr);
        return it != byNr.constEnd() && it->first.isValid() && issued.isValid() && it->first < issued;
    }
    QString documentOf(const QString& nr) const { return validInvoice.value(nr, {nr, QDate()}).first; }
    // The sale's revenue is booked from its journal (a "Verkauf" line), not by an invoice.
    bool journalRevenue(const QString& nr) const {
        const auto it = byNr.constFind(nr);
        if (it == byNr.constEnd() || !it->first.isValid() || it->claim <= 0) return false;
        const auto invoice = validInvoice.constFind(nr);
        return invoice == validInvoice.constEnd() || invoice->second > it->first;
    }
};

SalesMoney salesMoney(Database& db, const QString& user) {
    SalesMoney out;
    QStringList names;
    db.forEachRow(QStringLiteral("select a.AuktionsNr, a.ebayName, a.EndeDatum, min(case when b.Art = 'Zahlung' or "
                                 "b.Art = 'Abschreibung' then b.Tag end), sum(case when b.Art = 'Forderung' then "
                                 "b.Cent else 0 end) from Buchungen b join Auktionen a on a.AuktionsID = b.AuktionsID "
                                 "where b.Standarduser = ? group by a.AuktionsID, a.AuktionsNr, a.ebayName, "
                                 "a.EndeDatum"),
                  {user}, names, [&out](const DbRow& r) {
                      SaleMoney m{r.text(1), QDate::fromString(r.text(2).left(10), Qt::ISODate),
                                  QDate::fromString(r.text(3).left(10), Qt::ISODate), r.int64(4)};
                      out.byNr.insert(r.text(0), m);
                  });
    // The cancelled numbers once, not a look-up per invoice: Bezug has no index of its own.
    db.forEachRow(
        QStringLiteral("select r.Nummer, r.Artikel, r.Ausgestellt, r.Nummer in (select s.Bezug from Rechnungen s "
                       "where s.Art = 'Storno' and s.Bezug is not null) from Rechnungen r where r.Art = 'Rechnung' and "
                       "r.Standarduser = ?"),
        {user}, names, [&out](const DbRow& r) {
            const QStringList items = r.text(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            out.firstItem.insert(r.text(0), items.value(0));
            if (r.int64(3) != 0) return;
            for (const QString& nr : items)
                out.validInvoice.insert(nr, {r.text(0), QDate::fromString(r.text(2).left(10), Qt::ISODate)});
        });
    // The rates once, not a look-up per sale.
    db.forEachRow(QStringLiteral("select AuktionsNr, Satz from Steuersaetze where Standarduser = ?"), {user}, names,
                  [&out](const DbRow& r) {
                      const int rate = int(r.int64(1));
                      if (validItemRate(rate)) out.rates.insert(r.text(0).trimmed(), rate);
                  });
    return out;
}

// The revenue account of a sale without an invoice: the tax mode the options set, its own rate.
DatevAccount saleRevenue(const DatevSetup& setup, const SalesMoney& money, const QString& nr) {
    Invoice inv;
    inv.Kleinunternehmer = setup.kleinunternehmer;
    inv.Steuerart = setup.steuerart;
    InvoiceItem item;
    item.AuktionsNr = nr;
    item.Steuersatz = money.rates.value(nr.trimmed(), 0);
    inv.Posten << item;
    return setup.accounts.value(revenueFor(taxMode(inv), itemRate(inv, item)));
}

template <typename Lines>
void journalBookings(Database& db, const Store& store, const DatevSetup& setup, const SalesMoney& money,
                     const QDate& from, const QDate& to, Lines& lines, DatevExport& out) {
    const DatevAccount debitor = setup.accounts.value(QStringLiteral("Debitor"));
    const DatevAccount fees = setup.accounts.value(QStringLiteral("Gebuehren"));
    const DatevAccount loss = setup.accounts.value(QStringLiteral("Forderungsverluste"));
    const DatevAccount paypal = setup.accounts.value(QStringLiteral("PayPal")),
                       platformAccount = setup.accounts.value(QStringLiteral("Plattform")),
                       cash = setup.accounts.value(QStringLiteral("Kasse")),
                       bankAccount = setup.accounts.value(QStringLiteral("Bank"));
    const auto accountOf = [&](const QString& k) -> const DatevAccount& {
        return k == konto::PayPal      ? paypal
               : k == konto::Plattform ? platformAccount
               : k == konto::Kasse     ? cash
                                       : bankAccount;
    };
    // A sale without an invoice before its money: its revenue on its end date (in this period),
    // with the period its money first came in, so that no debtor is left in credit.
    std::vector<QHash<QString, SaleMoney>::const_iterator> sales;
    sales.reserve(std::size_t(money.byNr.size()));
    for (auto it = money.byNr.cbegin(); it != money.byNr.cend(); ++it) sales.push_back(it);
    std::sort(sales.begin(), sales.end(),
              [](const auto& a, const auto& b) { return a->ende != b->ende ? a->ende < b->ende : a.key() < b.key(); });
    for (const auto& it : sales) {
        const SaleMoney& m = it.value();
        if (m.first < from || m.first > to || !money.journalRevenue(it.key())) continue;
        const DatevAccount revenue = saleRevenue(setup, money, it.key());
        lines << booking(m.claim, true, debitor, revenue.konto, qMax(m.ende, from), it.key(), it.key().left(12),
                         QStringLiteral("Verkauf %1 %2").arg(it.key(), m.ebayName), revenue.schluessel)
                     .line();
        ++out.revenues;
    }
    // Every entry of the period but the claims: the money's own account against the debtor, a fee
    // against the account that kept it.
    QStringList names;
    db.forEachRow(
        QStringLiteral("select b.Tag, b.Cent, b.Art, b.Konto, b.Referenz, a.AuktionsNr, a.ebayName from Buchungen b "
                       "join Auktionen a on a.AuktionsID = b.AuktionsID where b.Standarduser = ? and b.Tag between ? "
                       "and ? and b.Art <> 'Forderung' and b.Cent <> 0 order by b.Tag, b.ID"),
        {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)}, names, [&](const DbRow& r) {
            const QString a = r.text(2), nr = r.text(5);
            const QString who = r.text(6), ref = r.text(4);
            const qint64 cents = r.int64(1);
            const QDate day = QDate::fromString(r.text(0), Qt::ISODate);
            const DatevAccount money_ = accountOf(r.text(3));
            const QString doc = money.documentOf(nr);
            if (a == art::Gebuehr) {
                lines << booking(cents, true, fees, money_.konto, day, ref.isEmpty() ? doc : ref, nr.left(12),
                                 QStringLiteral("Gebühr %1 %2").arg(nr, who), fees.schluessel)
                             .line();
                ++out.fees;
            } else if (a == art::Rueckgabe) {
                // Goods taken back: the revenue the journal booked, reversed on the day. Where an
                // invoice carried the revenue, its cancellation reverses it; where no money ever
                // came, none was booked.
                if (!money.journalRevenue(nr)) return;
                const DatevAccount revenue = saleRevenue(setup, money, nr);
                lines << booking(-cents, false, debitor, revenue.konto, day, doc, nr.left(12),
                                 QStringLiteral("Rückgabe %1 %2").arg(nr, who), revenue.schluessel)
                             .line();
            } else if (a == art::Abschreibung) {
                // What the buyer will not pay: a loss against the debt (its tax is the advisor's to correct).
                lines << booking(-cents, true, loss, debitor.konto, day, doc, nr.left(12),
                                 QStringLiteral("Abschreibung %1 %2").arg(nr, who), loss.schluessel)
                             .line();
            } else {
                // Money in (negative: the debt falls) is the account's debit; money back its credit.
                const QString text = a == art::Zahlung        ? QStringLiteral("Zahlung %1 %2")
                                     : a == art::Erstattung   ? QStringLiteral("Erstattung %1 %2")
                                     : a == art::Rueckbuchung ? QStringLiteral("Rücklastschrift %1 %2")
                                                              : QStringLiteral("Storno Zahlung %1 %2");
                lines << booking(cents, cents < 0, money_, debitor.konto, day, doc, nr.left(12), text.arg(nr, who),
                                 QString())
                             .line();
                if (a == art::Zahlung) ++out.payments;
            }
        });
    // A payout's credit in the bank: the platform's clearing account emptied on the day the bank booked it.
    const DatevAccount bank = setup.accounts.value(QStringLiteral("Bank"));
    const DatevAccount platform = setup.accounts.value(QStringLiteral("Plattform"));
    db.forEachRow(
        QStringLiteral("select z.ID, z.Gutschrift, sum(p.Brutto - p.Gebuehren) from Auszahlungen z join "
                       "AuszahlungsPosten p on p.Standarduser = z.Standarduser and p.AuszahlungsID = z.ID where "
                       "z.Standarduser = ? and z.Gutschrift between ? and ? group by z.ID, z.Gutschrift order by "
                       "z.Gutschrift, z.ID"),
        {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)}, names, [&](const DbRow& r) {
            const qint64 net = r.int64(2);
            if (net <= 0) return;
            const QString id = r.text(0);
            lines << booking(net, true, bank, platform.konto, QDate::fromString(r.text(1), Qt::ISODate), id, QString(),
                             QStringLiteral("Auszahlung %1").arg(id), QString())
                         .line();
            ++out.payouts;
        });
}

}  // namespace

const QStringList& datevBookings() {
    static const QStringList names{QStringLiteral("Erloese19"),
                                   QStringLiteral("Erloese7"),
                                   QStringLiteral("Erloese25a"),
                                   QStringLiteral("Erloese19UStG"),
                                   QStringLiteral("Bank"),
                                   QStringLiteral("Debitor"),
                                   QStringLiteral("Gebuehren"),
                                   QStringLiteral("PayPal"),
                                   QStringLiteral("Plattform"),
                                   QStringLiteral("Kasse"),
                                   QStringLiteral("Forderungsverluste")};
    return names;
}

QMap<QString, DatevAccount> datevAccounts(const QString& chart, const QString& overrides) {
    // 19 % and 7 % go to DATEV's automatic accounts: the tax is computed there, so no key.
    // § 25a to "ohne USt": the tax on the margin needs the purchase price, the advisor's part.
    const bool skr04 = chart.trimmed() == QStringLiteral("04");
    // PayPal is an account of its own beside the bank; the platform's money waits in transit
    // ("Geldtransit") until its payout reaches the bank.
    const char* const skr03[] = {"8400", "8300", "8193", "8195", "1200", "10000",
                                 "4970", "1201", "1360", "1000", "2400"};
    const char* const skr04accounts[] = {"4400", "4300", "4138", "4185", "1800", "10000",
                                         "6855", "1801", "1460", "1600", "6930"};
    QMap<QString, DatevAccount> out;
    for (qsizetype i = 0; i < datevBookings().size(); ++i)
        out.insert(datevBookings()[i], {QString::fromLatin1(skr04 ? skr04accounts[i] : skr03[i]), QString()});
    for (const QString& part : overrides.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1);
        if (!out.contains(name)) continue;
        const QString konto = value.section(QLatin1Char('/'), 0, 0).trimmed();
        static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
        if (digits.match(konto).hasMatch()) out[name] = {konto, value.section(QLatin1Char('/'), 1).trimmed().left(4)};
    }
    return out;
}

QString datevOverrides(const QString& chart, const QMap<QString, DatevAccount>& accounts) {
    const QMap<QString, DatevAccount> standard = datevAccounts(chart, QString());
    QStringList out;
    for (const QString& name : datevBookings()) {
        const DatevAccount a = accounts.value(name), s = standard.value(name);
        if (a.konto != s.konto || a.schluessel != s.schluessel)
            out << name + QLatin1Char('=') + a.konto + QLatin1Char('/') + a.schluessel;
    }
    return out.join(QLatin1Char(';'));
}

QString datevSummary(const DatevExport& ex) {
    const auto n = [](qint64 count, const char* one, const char* many) {
        return counted(count, QString::fromUtf8(one), QString::fromUtf8(many));
    };
    QString text = QStringList{n(ex.invoices, "Rechnung", "Rechnungen"),
                               n(ex.cancellations, "Storno", "Stornos"),
                               n(ex.revenues, "Verkauf mit seiner Zahlung", "Verkäufe mit ihrer Zahlung"),
                               n(ex.payments, "Zahlung", "Zahlungen"),
                               n(ex.fees, "Gebühr", "Gebühren"),
                               n(ex.payouts, "Auszahlung", "Auszahlungen")}
                       .join(QStringLiteral(", ")) +
                   QLatin1Char('.');
    if (ex.transliterated > 0)
        text += QStringLiteral(
                    " %1 Buchstaben, die DATEV nicht liest; %2 in lateinischen Buchstaben geschrieben "
                    "(etwa „Δημήτρης“ als „Dimitris“).")
                    .arg(ex.transliterated == 1 ? QStringLiteral("1 Text enthielt")
                                                : QStringLiteral("%1 Texte enthielten").arg(ex.transliterated),
                         ex.transliterated == 1 ? QStringLiteral("er ist") : QStringLiteral("sie sind"));
    return text;
}

std::pair<QDate, QDate> lastWholeMonth(const QDate& today) {
    const QDate first = QDate(today.year(), today.month(), 1).addMonths(-1);
    return {first, first.addMonths(1).addDays(-1)};
}

DatevSetup datevSetup(const Settings& settings) {
    DatevSetup s;
    s.berater = settings.DatevBerater.trimmed();
    s.mandant = settings.DatevMandant.trimmed();
    s.chart =
        settings.DatevKontenrahmen.trimmed() == QStringLiteral("04") ? QStringLiteral("04") : QStringLiteral("03");
    s.fiscalStart =
        settings.DatevWJBeginn.trimmed().isEmpty() ? QStringLiteral("0101") : settings.DatevWJBeginn.trimmed();
    s.lock = settings.DatevFestschreibung;
    s.payments = settings.DatevZahlungen;
    s.accounts = datevAccounts(s.chart, settings.DatevKonten);
    s.kleinunternehmer = settings.Kleinunternehmer;
    s.steuerart = settings.Steuerart;
    return s;
}

Result<DatevExport> datevExport(const Store& store, const DatevSetup& setup, const QDate& from, const QDate& to,
                                const QDateTime& now) {
    CALLSTACK_MODULE("modDatev");
    static const QRegularExpression berater(QStringLiteral("^\\d{4,7}$")), mandant(QStringLiteral("^\\d{1,5}$"));
    if (!berater.match(setup.berater).hasMatch() || setup.berater.toInt() < 1001 ||
        !mandant.match(setup.mandant).hasMatch() || setup.mandant.toInt() < 1)
        return Error::plain(
            QStringLiteral("Für den DATEV-Export braucht es die Beraternummer (1001 bis 9999999) und die "
                           "Mandantennummer (1 bis 99999) Ihres Steuerberaters."));
    if (!from.isValid() || !to.isValid() || from > to)
        return Error::plain(QStringLiteral("Der Zeitraum ist ungültig: das Ende liegt vor dem Anfang."));
    const QDate start = fiscalYearStart(setup.fiscalStart, from);
    if (to >= start.addYears(1))
        return Error::plain(QStringLiteral("Der Zeitraum %1 bis %2 reicht über das Wirtschaftsjahr hinaus, das am %3 "
                                           "beginnt und am %4 endet. Ein DATEV-Buchungsstapel gehört zu genau einem "
                                           "Wirtschaftsjahr; bitte exportieren Sie die Jahre einzeln.")
                                .arg(from.toString(QStringLiteral("dd.MM.yyyy")),
                                     to.toString(QStringLiteral("dd.MM.yyyy")),
                                     start.toString(QStringLiteral("dd.MM.yyyy")),
                                     start.addYears(1).addDays(-1).toString(QStringLiteral("dd.MM.yyyy"))));
    return dbStep(QStringLiteral("Der DATEV-Export kann nicht erstellt werden:"), [&]() -> Result<DatevExport> {
        Database db = store.open();
        DatevExport out;
        // Written as it goes: a year of payments is tens of thousands of lines.
        struct Lines {
            QByteArray& bytes;
            Lines& operator<<(const QString& line) {
                bytes += win::toAnsi(line);
                bytes += "\r\n";
                return *this;
            }
        } lines{out.bytes};
        // Line 1: the header, its 31 fields in DATEV's order.
        const QStringList header{
            QStringLiteral("\"EXTF\""),
            QStringLiteral("700"),
            QStringLiteral("21"),
            QStringLiteral("\"Buchungsstapel\""),
            QStringLiteral("13"),
            now.toString(QStringLiteral("yyyyMMddHHmmsszzz")),
            QString(),
            QStringLiteral("\"RE\""),
            QStringLiteral("\"\""),
            QStringLiteral("\"\""),
            setup.berater,
            setup.mandant,
            start.toString(QStringLiteral("yyyyMMdd")),
            QStringLiteral("4"),
            from.toString(QStringLiteral("yyyyMMdd")),
            to.toString(QStringLiteral("yyyyMMdd")),
            quoted(QStringLiteral("Gaveldesk %1 bis %2")
                       .arg(from.toString(QStringLiteral("dd.MM.")), to.toString(QStringLiteral("dd.MM.yy"))),
                   30),
            QStringLiteral("\"\""),
            QStringLiteral("1"),
            QStringLiteral("0"),
            setup.lock ? QStringLiteral("1") : QStringLiteral("0"),
            QStringLiteral("\"EUR\""),
            QString(),
            QStringLiteral("\"\""),
            QString(),
            QString(),
            QLatin1Char('"') + setup.chart + QLatin1Char('"'),
            QString(),
            QString(),
            QStringLiteral("\"\""),
            QStringLiteral("\"\"")};
        lines << header.join(QLatin1Char(';')) << columnNames();
        const DatevAccount debitor = setup.accounts.value(QStringLiteral("Debitor"));

        // Each invoice and cancellation: the buyer's debit against revenue, per rate.
        const SalesMoney money = setup.payments ? salesMoney(db, store.user) : SalesMoney();
        transliterated() = 0;
        QStringList names;
        db.forEachRow(QStringLiteral("select Art, Daten, Ausgestellt from Rechnungen where Standarduser = ? and "
                                     "substr(Ausgestellt, 1, 10) between ? and ? order by Jahr, Lfd"),
                      {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)}, names, [&](const DbRow& r) {
                          // The data it was issued from, in the row already read: no second query, no page.
                          const Invoice inv = invoiceData(r.text(1));
                          const bool storno = r.text(0) != QStringLiteral("Rechnung");
                          const QDate issued = r.date(2).date();
                          // A valid invoice written after its sale was paid: the revenue went with the payment.
                          // A cancellation goes the way of its invoice, whose first line may not be among its own.
                          const QString first = inv.Posten.isEmpty() ? QString() : inv.Posten.front().AuktionsNr;
                          if (money.revenueWithPayment(storno ? money.firstItem.value(inv.Bezug, first) : first,
                                                       storno ? inv.BezugDatum : issued))
                              return;
                          (storno ? out.cancellations : out.invoices) += 1;
                          const QString buyer =
                              inv.KaeuferFirma.isEmpty() ? inv.Kaeufer.value(0, inv.Mitgliedsname) : inv.KaeuferFirma;
                          for (const TaxLine& t : taxLines(inv)) {
                              if (t.gross() == 0) continue;
                              const DatevAccount revenue = setup.accounts.value(revenueFor(taxMode(inv), t.rate));
                              lines << booking(
                                           t.gross(), !storno, debitor, revenue.konto, issued, inv.Nummer,
                                           storno ? inv.Bezug : QString(),
                                           (storno ? QStringLiteral("Storno %1 %2") : QStringLiteral("Rechnung %1 %2"))
                                               .arg(inv.Nummer, buyer),
                                           revenue.schluessel)
                                           .line();
                          }
                      });

        if (setup.payments) journalBookings(db, store, setup, money, from, to, lines, out);
        out.transliterated = transliterated();
        return out;
    });
}

}  // namespace gd
