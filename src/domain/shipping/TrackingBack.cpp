#include "domain/shipping/TrackingBack.h"

#include <QRegularExpression>

#include "base/CallStack.h"
#include "domain/bank/Csv.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/SearchFold.h"
#include "domain/shipping/DhlImport.h"
#include "domain/trade/Parcel.h"
#include "domain/trade/StatusGruppen.h"

namespace gd {
namespace {

// The column whose heading is one of `names` (folded: case, umlauts, "-", "." and blanks do not count).
int headed(const QStringList& heading, std::initializer_list<const char*> names) {
    for (qsizetype i = 0; i < heading.size(); ++i) {
        QString h = foldForSearch(heading[i]);
        h.remove(QRegularExpression(QStringLiteral("[\\s.\\-_]")));
        for (const char* n : names)
            if (h == QLatin1String(n)) return int(i);
    }
    return -1;
}

// Letters to compare names by: folded, accents off, words sorted.
QStringList nameWords(const QString& name) {
    QString plain;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (!c.isMark()) plain += c;
    QStringList words = foldForSearch(plain).split(QRegularExpression(QStringLiteral("[^\\w]+")), Qt::SkipEmptyParts);
    words.sort();
    return words;
}

QString plainPostcode(const QString& p) {
    return QString(p).remove(QLatin1Char(' ')).remove(QLatin1Char('-')).toUpper();
}

}  // namespace

Result<QList<ShipmentLine>> readShipmentList(const QByteArray& bytes) {
    // Bounded and decoded as the bank's exports are: a list is a few hundred lines.
    const Result<QString> text = decodedTable(bytes);
    if (!text.ok()) return text.error();
    const QString firstLine = text.value().section(QLatin1Char('\n'), 0, 0);
    const QChar sep = firstLine.count(QLatin1Char(';')) >= firstLine.count(QLatin1Char(',')) ? u';' : u',';
    const QList<CsvRecord> records = csvRecords(text.value(), sep);
    if (records.isEmpty()) return Error::plain(QStringLiteral("Die Sendungsliste ist leer."));
    const QStringList& heading = records.front().fields;
    const int nr = headed(heading, {"sendungsnummer", "sendungsnr", "paketnummer", "trackingnummer", "tracking",
                                    "sendungsid", "shipmentnumber", "trackingnumber"});
    const int name = headed(heading, {"empfanger", "empfaenger", "empfangername", "empfaengername", "name", "name1",
                                      "recvname1", "empfangername1", "empfaengername1"});
    const int postcode = headed(heading, {"plz", "postleitzahl", "empfangerplz", "empfaengerplz", "recvplz"});
    const int street = headed(heading, {"strasse", "straße", "empfangerstrasse", "empfaengerstrasse", "recvstreet"});
    const int day = headed(heading, {"datum", "versanddatum", "einlieferungsdatum", "erstellt", "date"});
    QStringList missing;
    if (nr < 0) missing << QStringLiteral("Sendungsnummer");
    if (name < 0) missing << QStringLiteral("Empfänger");
    if (postcode < 0) missing << QStringLiteral("PLZ");
    if (!missing.isEmpty())
        return Error::plain(QStringLiteral("In der Sendungsliste fehlt die Spalte %1 (gelesen: %2).")
                                .arg(missing.join(QStringLiteral(", ")), heading.join(QStringLiteral(", "))));
    QList<ShipmentLine> out;
    for (const CsvRecord& r : records.mid(1)) {
        const QStringList& f = r.fields;
        ShipmentLine l;
        l.zeile = r.line;
        l.sendungsnummer = f.value(nr).trimmed().remove(QLatin1Char(' '));
        l.name = f.value(name).trimmed();
        l.postcode = f.value(postcode).trimmed();
        l.street = street < 0 ? QString() : f.value(street).trimmed();
        if (day >= 0) l.tag = germanDate(f.value(day).trimmed().left(10));
        out << l;
    }
    return out;
}

Result<QList<TrackingMatch>> matchTracking(const Store& store, const QList<ShipmentLine>& lines) {
    CALLSTACK_MODULE("modVersand");
    const Result<QList<ReadyParcel>> ready = readyParcels(store);
    if (!ready.ok()) return ready.error();
    QList<TrackingMatch> out;
    const Status read = dbStep(QStringLiteral("Die Sendungsnummern können nicht zugeordnet werden:"), [&]() -> Status {
        Database db = store.open();
        for (const ShipmentLine& l : lines) {
            TrackingMatch m;
            m.line = l;
            if (l.sendungsnummer.isEmpty()) {
                m.grund = QStringLiteral("keine Sendungsnummer");
                out << m;
                continue;
            }
            // Once each: a number recorded on any trade is known.
            if (const std::optional<QString> nr = db.firstRow(
                    QStringLiteral("select a.AuktionsNr from Versand v join Auktionen a on a.AuktionsID = v.AuktionsID "
                                   "where v.Standarduser = ? and v.Sendungsnummer = ?"),
                    {store.user, l.sendungsnummer}, [](const DbRow& r) { return r.text(0); })) {
                m.erfasst = true;
                m.auktionsNr = *nr;
                m.grund = QStringLiteral("bereits erfasst");
                out << m;
                continue;
            }
            const QStringList who = nameWords(l.name);
            QList<const ReadyParcel*> found;
            for (const ReadyParcel& p : ready.value())
                if (p.unreadable.isEmpty() && plainPostcode(p.to.postcode) == plainPostcode(l.postcode) &&
                    !who.isEmpty() && (nameWords(p.to.name1) == who || nameWords(p.to.name2) == who))
                    found << &p;
            // Two ready sales to one address are told apart only by the seller.
            if (found.size() == 1) {
                m.auktionsID = found.front()->auktionsID;
                m.auktionsNr = found.front()->auktionsNr;
                m.ebayName = found.front()->ebayName;
                m.grund = QStringLiteral("Name und PLZ");
            } else {
                m.grund = found.isEmpty()
                              ? QStringLiteral("kein versandbereiter Verkauf an %1, %2").arg(l.name, l.postcode)
                              : QStringLiteral("%1 versandbereite Verkäufe an %2, %3 – bitte selbst zuordnen")
                                    .arg(found.size())
                                    .arg(l.name, l.postcode);
            }
            out << m;
        }
        return {};
    });
    if (!read.ok()) return read.error();
    // A number for one sale, and one sale a number: a second line for the same sale is not taken.
    QSet<QString> taken;
    for (TrackingMatch& m : out) {
        if (m.auktionsID.isEmpty()) continue;
        if (!taken.contains(m.auktionsID)) {
            taken.insert(m.auktionsID);
            continue;
        }
        m.grund = QStringLiteral("Auktion %1 hat in dieser Liste schon eine Sendungsnummer").arg(m.auktionsNr);
        m.auktionsID.clear();
    }
    return out;
}

Result<int> applyTracking(const Store& store, const QList<TrackingMatch>& matches, const QString& carrier,
                          const QDateTime& now, QStringList* notes) {
    CALLSTACK_MODULE("modVersand");
    return dbStep(QStringLiteral("Die Sendungsnummern können nicht gespeichert werden:"), [&]() -> Result<int> {
        Transaction tx(store);
        const Store in = store.within(tx);
        int sent = 0;
        for (const TrackingMatch& m : matches) {
            if (m.erfasst) continue;
            if (m.auktionsID.isEmpty()) {
                if (notes)
                    *notes << QStringLiteral("Zeile %1 (%2): %3").arg(m.line.zeile).arg(m.line.sendungsnummer, m.grund);
                continue;
            }
            const Status kept = saveParcel(in, m.auktionsID, Parcel{carrier, m.line.sendungsnummer});
            if (!kept.ok()) return kept.error();
            const QDateTime day = m.line.tag.isValid() ? QDateTime(m.line.tag, QTime(12, 0)) : now;
            const Status shipped = SaveStatusMail(in, m.auktionsID, day, 3);
            if (!shipped.ok()) return shipped.error();
            ++sent;
            if (notes)
                *notes << QStringLiteral("%1 (%2): versendet mit %3 %4")
                              .arg(m.auktionsNr, m.ebayName, carrier, m.line.sendungsnummer);
        }
        tx.commit();
        return sent;
    });
}

}  // namespace gd
