#include "domain/bank/Datev.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <array>

#include "base/CallStack.h"
#include "base/Money.h"
#include "base/codepage.h"
#include "domain/bank/Invoice.h"
#include "domain/bank/IssuedInvoices.h"
#include "domain/db/Database.h"
#include "domain/settings/modGlobal.h"

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

// Text in double quotes, a quote doubled; no line breaks (DATEV refuses control characters);
// letters Windows-1252 lacks lose their accent ("ř" → "r") rather than becoming "?".
QString quoted(QString s, int most) {
    s.replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]+")), QStringLiteral(" "));
    QString out;
    for (const QChar c : s.simplified()) {
        if (win::representable(QString(c)))
            out += c;
        else {
            const QString base = QString(c).normalized(QString::NormalizationForm_D).left(1);
            out += win::representable(base) ? base : QStringLiteral("?");
        }
    }
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
    if (!key.trimmed().isEmpty()) r.f[BuSchluessel] = quoted(key.trimmed(), 4);
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

}  // namespace

const QStringList& datevBookings() {
    static const QStringList names{QStringLiteral("Erloese19"),  QStringLiteral("Erloese7"),
                                   QStringLiteral("Erloese25a"), QStringLiteral("Erloese19UStG"),
                                   QStringLiteral("Bank"),       QStringLiteral("Debitor"),
                                   QStringLiteral("Gebuehren")};
    return names;
}

QMap<QString, DatevAccount> datevAccounts(const QString& chart, const QString& overrides) {
    // 19 % and 7 % go to DATEV's automatic accounts: the tax is computed there, so no key.
    // § 25a to "ohne USt": the tax on the margin needs the purchase price, the advisor's part.
    const bool skr04 = chart.trimmed() == QStringLiteral("04");
    const char* const skr03[] = {"8400", "8300", "8193", "8195", "1200", "10000", "4970"};
    const char* const skr04accounts[] = {"4400", "4300", "4138", "4185", "1800", "10000", "6855"};
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

DatevSetup datevSetupFromSettings() {
    DatevSetup s;
    s.berater = gSettings.DatevBerater.trimmed();
    s.mandant = gSettings.DatevMandant.trimmed();
    s.chart =
        gSettings.DatevKontenrahmen.trimmed() == QStringLiteral("04") ? QStringLiteral("04") : QStringLiteral("03");
    s.fiscalStart =
        gSettings.DatevWJBeginn.trimmed().isEmpty() ? QStringLiteral("0101") : gSettings.DatevWJBeginn.trimmed();
    s.lock = gSettings.DatevFestschreibung;
    s.payments = gSettings.DatevZahlungen;
    s.accounts = datevAccounts(s.chart, gSettings.DatevKonten);
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
    try {
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
        Recordset rs = db.OpenRecordset(
            QStringLiteral("select Nummer, Art, Bezug, Daten, Ausgestellt from Rechnungen where Standarduser = ? and "
                           "substr(Ausgestellt, 1, 10) between ? and ? order by Jahr, Lfd"),
            {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            // The data it was issued from, in the row already read: no second query, no page.
            const Invoice inv = invoiceData(rs.text(QStringLiteral("Daten")));
            const bool storno = rs.text(QStringLiteral("Art")) == QStringLiteral("Storno");
            (storno ? out.cancellations : out.invoices) += 1;
            const QString buyer =
                inv.KaeuferFirma.isEmpty() ? inv.Kaeufer.value(0, inv.Mitgliedsname) : inv.KaeuferFirma;
            for (const TaxLine& t : taxLines(inv)) {
                if (t.gross() == 0) continue;
                const DatevAccount revenue = setup.accounts.value(revenueFor(taxMode(inv), t.rate));
                lines << booking(t.gross(), !storno, debitor, revenue.konto,
                                 rs.date(QStringLiteral("Ausgestellt")).date(), inv.Nummer,
                                 storno ? inv.Bezug : QString(),
                                 (storno ? QStringLiteral("Storno %1 %2") : QStringLiteral("Rechnung %1 %2"))
                                     .arg(inv.Nummer, buyer),
                                 revenue.schluessel)
                             .line();
            }
        }

        // Fees a platform kept back from a payout: an expense against the buyer's debt it settled.
        const DatevAccount fees = setup.accounts.value(QStringLiteral("Gebuehren"));
        Recordset kept = db.OpenRecordset(
            QStringLiteral(
                "select p.AuktionsNr, p.Gebuehren, z.ID, z.Datum from AuszahlungsPosten p join Auszahlungen z "
                "on z.Standarduser = p.Standarduser and z.ID = p.AuszahlungsID where p.Standarduser = ? and "
                "p.Gebuehren > 0 and z.Datum between ? and ? order by z.Datum, z.ID, p.AuktionsNr"),
            {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
        for (kept.MoveFirst(); !kept.isEOF(); kept.MoveNext()) {
            const QString nr = kept.text(QStringLiteral("AuktionsNr")), id = kept.text(QStringLiteral("ID"));
            lines << booking(kept.value(QStringLiteral("Gebuehren")).toLongLong(), true, fees, debitor.konto,
                             QDate::fromString(kept.text(QStringLiteral("Datum")), Qt::ISODate), id, nr.left(12),
                             QStringLiteral("Gebühr %1 Auszahlung %2").arg(nr, id), fees.schluessel)
                         .line();
            ++out.fees;
        }
        Recordset paypal = db.OpenRecordset(
            QStringLiteral("select Quelle, Referenz, AuktionsNr, Datum, Cent from Gebuehren where Standarduser = ? and "
                           "Cent > 0 and Datum between ? and ? order by Datum, Referenz"),
            {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
        for (paypal.MoveFirst(); !paypal.isEOF(); paypal.MoveNext()) {
            const QString nr = paypal.text(QStringLiteral("AuktionsNr"));
            lines << booking(paypal.value(QStringLiteral("Cent")).toLongLong(), true, fees, debitor.konto,
                             QDate::fromString(paypal.text(QStringLiteral("Datum")), Qt::ISODate),
                             paypal.text(QStringLiteral("Referenz")), nr.left(12),
                             QStringLiteral("Gebühr %1 %2").arg(paypal.text(QStringLiteral("Quelle")), nr),
                             fees.schluessel)
                         .line();
            ++out.fees;
        }

        // Each payment received: the bank's debit against the buyer.
        if (setup.payments) {
            const DatevAccount bank = setup.accounts.value(QStringLiteral("Bank"));
            // Each sale's valid invoice, read once: a payment names it as its document.
            QHash<QString, QString> invoiceOfSale;
            Recordset valid = db.OpenRecordset(
                QStringLiteral("select r.Nummer, r.Artikel from Rechnungen r where r.Art = 'Rechnung' and "
                               "r.Standarduser = ? and not exists (select 1 from Rechnungen s where s.Art = 'Storno' "
                               "and s.Bezug = r.Nummer)"),
                {store.user});
            for (valid.MoveFirst(); !valid.isEOF(); valid.MoveNext())
                for (const QString& nr :
                     valid.text(QStringLiteral("Artikel")).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    invoiceOfSale.insert(nr, valid.text(QStringLiteral("Nummer")));
            const auto invoiceOf = [&](const QString& nr) { return invoiceOfSale.value(nr, nr); };
            Recordset paid = db.OpenRecordset(
                QStringLiteral(
                    "select a.AuktionsID, a.AuktionsNr, a.Betrag, a.BezahltDatum, a.ebayName, ifnull((select "
                    "sum(t.Cent) from Teilzahlungen t where t.AuktionsID = a.AuktionsID), 0) as Teil, ifnull((select "
                    "sum(p.Gebuehren) from AuszahlungsPosten p where p.Standarduser = a.Standarduser and p.AuktionsNr "
                    "= a.AuktionsNr), 0) + ifnull((select sum(g.Cent) from Gebuehren g where g.Standarduser = "
                    "a.Standarduser and g.AuktionsNr = a.AuktionsNr), 0) as Gebuehr from Auktionen a "
                    "join Kunden k on k.ebayName = a.ebayName and k.Standarduser = a.Standarduser where a.Standarduser "
                    "= ? and k.Kunde <> 0 and a.Bezahlt <> 0 and substr(a.BezahltDatum, 1, 10) between ? and ? "
                    "order by a.BezahltDatum"),
                {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
            for (paid.MoveFirst(); !paid.isEOF(); paid.MoveNext()) {
                // What reached the account: a fee kept back by a platform or PayPal is booked on its own.
                const qint64 rest = centsOr0(paid.text(QStringLiteral("Betrag"))) -
                                    paid.value(QStringLiteral("Teil")).toLongLong() -
                                    paid.value(QStringLiteral("Gebuehr")).toLongLong();
                if (rest <= 0) continue;
                const QString nr = paid.text(QStringLiteral("AuktionsNr"));
                lines << booking(rest, true, bank, debitor.konto, paid.date(QStringLiteral("BezahltDatum")).date(),
                                 invoiceOf(nr), nr.left(12),
                                 QStringLiteral("Zahlung %1 %2").arg(nr, paid.text(QStringLiteral("ebayName"))),
                                 QString())
                             .line();
                ++out.payments;
            }
            Recordset parts = db.OpenRecordset(
                QStringLiteral("select t.Cent, t.Datum, a.AuktionsNr, a.ebayName from Teilzahlungen t join Auktionen a "
                               "on a.AuktionsID = t.AuktionsID where t.Standarduser = ? and substr(t.Datum, 1, 10) "
                               "between ? and ? order by t.Datum"),
                {store.user, from.toString(Qt::ISODate), to.toString(Qt::ISODate)});
            for (parts.MoveFirst(); !parts.isEOF(); parts.MoveNext()) {
                const qint64 cents = parts.value(QStringLiteral("Cent")).toLongLong();
                if (cents <= 0) continue;
                const QString nr = parts.text(QStringLiteral("AuktionsNr"));
                lines << booking(cents, true, bank, debitor.konto, parts.date(QStringLiteral("Datum")).date(),
                                 invoiceOf(nr), nr.left(12),
                                 QStringLiteral("Teilzahlung %1 %2").arg(nr, parts.text(QStringLiteral("ebayName"))),
                                 QString())
                             .line();
                ++out.payments;
            }
        }
        return out;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Der DATEV-Export kann nicht erstellt werden:"), e);
    }
}

}  // namespace gd
