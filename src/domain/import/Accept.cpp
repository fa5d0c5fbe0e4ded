#include "domain/import/Accept.h"

#include <QRegularExpression>
#include <optional>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/LoadSave.h"
#include "domain/trade/StatusGruppen.h"
#include "domain/trade/TaxData.h"

namespace gd {
namespace {}  // namespace

namespace {

// Why an amount cut from the mail cannot be a trade's: negative, or beyond what any
// sum of ours may hold. A text that is no number at all stays as it was read.
QString amountProblem(const QString& what, const QString& text) {
    const std::optional<qint64> cents = parseCents(text);
    if (cents && *cents >= 0) return QString();
    QString t = text;
    t.remove(QStringLiteral("EUR")).remove(QChar(0x20AC)).remove(QChar(0xA0)).remove(QLatin1Char(' '));
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9][0-9.]*(,[0-9]+)?$"));
    if (!cents && !number.match(t).hasMatch()) return QString();
    return QStringLiteral("%1 \u201E%2\u201C liegt nicht zwischen 0,00 und 999.999.999,99 EUR.")
        .arg(what, text.trimmed());
}

QString quoted(const QString& v) {
    return QStringLiteral("\u201E") + (v.size() > 60 ? v.left(60) + QStringLiteral(" …") : v) +
           QStringLiteral("\u201C");
}

}  // namespace

QStringList implausibleFields(ImportRecords& r) {
    QStringList w;
    const tKunde& p = r.partner();
    const QString name = p.ebayName.trimmed();
    if (name.isEmpty())
        w << QStringLiteral("Der Mitgliedsname des Partners ist leer.");
    else if (name.size() > kMaxColumnChars)
        w << QStringLiteral("Der Mitgliedsname %1 ist länger als %2 Zeichen.").arg(quoted(name)).arg(kMaxColumnChars);
    const QString mail = p.Email.trimmed();
    if (mail.size() > kMaxColumnChars)
        w << QStringLiteral("Die E-Mail-Adresse %1 ist länger als %2 Zeichen.").arg(quoted(mail)).arg(kMaxColumnChars);
    else if (!mail.isEmpty() && !mail.contains(QLatin1Char('@')))
        w << QStringLiteral("Die E-Mail-Adresse %1 enthält kein \u201E@\u201C.").arg(quoted(mail));
    const struct {
        const char* what;
        const QString& text;
    } contact[] = {{"Der Name", p.Name}, {"Die Straße", p.Strasse}, {"Der Ort", p.Ort}, {"Die Firma", p.Firma}};
    for (const auto& c : contact)
        if (c.text.trimmed().size() > kMaxColumnChars)
            w << QStringLiteral("%1 %2 ist länger als %3 Zeichen.")
                     .arg(QString::fromUtf8(c.what), quoted(c.text.trimmed()))
                     .arg(kMaxColumnChars);
    if (const QString id = p.UStIdNr.simplified().remove(QLatin1Char(' ')); !id.isEmpty()) {
        // Two letters for the country, then up to twelve characters with digits among them:
        // every member state's form has some.
        static const QRegularExpression vatId(QStringLiteral("^[A-Za-z]{2}(?=.*[0-9])[0-9A-Za-z+*.]{2,12}$"));
        if (!vatId.match(id).hasMatch())
            w << QStringLiteral(
                     "Die USt-IdNr. %1 hat nicht die Form einer Umsatzsteuer-Identifikationsnummer "
                     "(Länderkürzel und bis zu zwölf Zeichen, etwa DE123456789).")
                     .arg(quoted(p.UStIdNr.trimmed()));
        else if (p.Firma.trimmed().isEmpty())
            w << QStringLiteral("Zur USt-IdNr. %1 fehlt die Firma; ohne sie wird die Nummer nicht gespeichert.")
                     .arg(quoted(p.UStIdNr.trimmed()));
    }
    const tAuktion& a = r.oAuktion;
    const struct {
        const char* what;
        const QString& text;
    } amounts[] = {{"Der Preis", a.Preis},
                   {"Der Betrag", a.Betrag},
                   {"Die Versandkosten", a.Versandkosten},
                   {"Die Versandversicherung", a.Versandversicherung}};
    for (const auto& m : amounts)
        if (const QString why = amountProblem(QString::fromUtf8(m.what), m.text); !why.isEmpty()) w << why;
    bool wholeQuantity = false;
    const int menge = a.Menge.trimmed().toInt(&wholeQuantity);
    if (wholeQuantity && (menge < 1 || menge > kMostQuantity))
        w << QStringLiteral("Die Menge \u201E%1\u201C liegt nicht zwischen 1 und %2.")
                 .arg(a.Menge.trimmed())
                 .arg(kMostQuantity);
    const QString nr = r.oAuktion.AuktionsNr.trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (nr.size() > kMaxColumnChars)
        w << QStringLiteral("Die Artikelnummer %1 ist länger als %2 Zeichen.").arg(quoted(nr)).arg(kMaxColumnChars);
    else if (!digits.match(nr).hasMatch())
        w << QStringLiteral("Die Artikelnummer %1 besteht nicht nur aus Ziffern.").arg(quoted(nr));
    return w;
}

void cutToColumns(ImportRecords& r) {
    for (tKunde* k : {&r.oKunde, &r.oLieferant}) {
        k->ebayName = k->ebayName.left(kMaxColumnChars);
        k->Email = k->Email.left(kMaxColumnChars);
        for (QString* f : {&k->Name, &k->Strasse, &k->Ort, &k->Firma}) *f = f->trimmed().left(kMaxColumnChars);
        k->UStIdNr = k->UStIdNr.left(kMaxColumnChars);
    }
    r.oAuktion.ebayName = r.oAuktion.ebayName.left(kMaxColumnChars);
    r.oAuktion.AuktionsNr = r.oAuktion.AuktionsNr.left(kMaxColumnChars);
}

Result<ImportFacts> checkImport(const Store& store, const ImportRecords& r) {
    CALLSTACK();
    ImportFacts f;
    const Result<bool> fresh = checkAuktionnew(store, r.oAuktion);
    if (!fresh.ok()) return fresh.error();
    f.duplicate = !fresh.value();
    const tKunde& partner = r.sellerShown() ? r.oLieferant : r.oKunde;
    const Result<bool> open = checkkundeStatus(store, partner.ebayName, r.oAuktion.EndeDatum);
    if (!open.ok()) return open.error();
    f.groupable = open.value();
    return f;
}

namespace {

// Inside the caller's transaction. Two seats fetching the same mail both get here; the key lets
// one row in, and only the seat whose row went in files the mail.
bool insertOrigin(const Store& in, const MailOrigin& o, const QString& auktionsID) {
    Database db = in.open();
    // Every row read (no early stop): a server's statement is not cancelled inside the transaction.
    return !db.allRows(
                  QStringLiteral("insert into Posteingang (Konto, Ordner, UidValidity, Uid, MessageID, AuktionsID, "
                                 "Zeit, Standarduser) values (?, ?, ?, ?, ?, ?, ?, ?) on conflict (Konto, Ordner, "
                                 "UidValidity, Uid) do nothing returning Uid"),
                  {o.konto, o.ordner, qint64(o.uidValidity), qint64(o.uid), o.messageId, auktionsID, toDbDate(now()),
                   in.user},
                  [](const DbRow& row) { return row.int64(0); })
                .isEmpty();
}

}  // namespace

Result<bool> recordMailOrigin(const Store& store, const MailOrigin& o, const QString& auktionsID) {
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Result<bool> {
        Transaction tx(store);
        const bool mine = insertOrigin(store.within(tx), o, auktionsID);
        tx.commit();
        return mine;
    });
}

Result<QSet<quint32>> knownMails(const Store& store, const QString& konto, const QString& ordner, quint32 uidValidity) {
    return dbStep(sentences::kAuktionLaden, [&]() -> Result<QSet<quint32>> {
        Database db = store.open();
        QSet<quint32> out;
        db.forEachRowWhile(
            QStringLiteral("select Uid from Posteingang where Konto = ? and Ordner = ? and UidValidity = ?"),
            {konto, ordner, qint64(uidValidity)}, [&out](const DbRow& row) {
                out.insert(quint32(row.int64(0)));
                return true;
            });
        return out;
    });
}

Result<Stored> acceptImport(const Store& store, ImportRecords& r, const ImportChoices& c) {
    CALLSTACK();
    // Only the transaction's own start and end can throw; every step inside says its own failure.
    return dbStep(sentences::kAuktionSpeichern, [&]() -> Result<Stored> {
        Transaction tx(store);
        const Store in = store.within(tx);  // every step of the import inside it
        if (c.origin) {
            const bool known = in.open().exists(
                QStringLiteral("select 1 from Posteingang where Konto = ? and Ordner = ? "
                               "and UidValidity = ? and Uid = ?"),
                {c.origin->konto, c.origin->ordner, qint64(c.origin->uidValidity), qint64(c.origin->uid)});
            if (known) return Stored::MailKnown;
        }
        // Another program may have stored the number while the dialog asked.
        if (!c.storeDuplicate) {
            const Result<bool> fresh = checkAuktionnew(in, r.oAuktion);
            if (!fresh.ok()) return fresh.error();
            if (!fresh.value()) return Stored::DuplicateAppeared;
        }
        // Worked on a copy: a failed attempt leaves no made-up numbers behind for the next one.
        ImportRecords w = r;
        const bool seller = w.sellerShown();
        tKunde& partner = seller ? w.oLieferant : w.oKunde;
        w.oAuktion.ebayName = partner.ebayName;
        const Result<QString> saved = seller ? funSaveLieferant(in, partner, w.oAuktion.AuktionsNr)
                                             : funSaveKunde(in, partner, w.oAuktion.AuktionsNr);
        if (!saved.ok()) return saved.error();
        // A partner already stored keeps the number it has; the auction and its group take that one.
        const QString partnerNr = saved.value();
        partner.KundenNr = partnerNr;
        // A mail without a company line leaves a company typed in earlier as it was.
        if (!partner.Firma.isEmpty()) {
            const Status business = saveBusiness(in, partner.ebayName, Business{partner.Firma, partner.UStIdNr});
            if (!business.ok()) return business.error();
        }
        if (c.group) {
            w.oAuktion.GruppenID = partnerNr;
            const Status grouped = saveGruppenID(in, partnerNr, partner.ebayName);
            if (!grouped.ok()) return grouped.error();
        }
        const Result<SavedTrade> inserted = funSaveAuktionnew(in, w.oAuktion, partnerNr);
        if (!inserted.ok()) return inserted.error();
        w.oAuktion.AuktionsID = inserted.value().auktionsID;
        const Status origin = savePlatform(in, w.oAuktion.AuktionsNr, w.plattform);
        if (!origin.ok()) return origin.error();
        if (c.origin && !insertOrigin(in, *c.origin, w.oAuktion.AuktionsID)) return Stored::MailKnown;
        tx.commit();
        r = w;
        return Stored::Yes;
    });
}

}  // namespace gd
