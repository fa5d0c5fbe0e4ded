#include "domain/bank/Matching.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <cmath>

#include "base/CallStack.h"
#include "domain/db/Database.h"
#include "domain/db/SearchFold.h"
#include "domain/db/StatusGruppen.h"
#include "domain/db/Trade.h"
#include "domain/settings/modGlobal.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {
namespace {

qint64 cents(double v) { return std::llround(v * 100.0); }

// One sale, or the open sales of one group: what one transfer pays.
struct Unit {
    QList<const OpenSale*> sales;
    QSet<qint64> totals;  // each amount the buyer may have been asked for
    bool paid = false;
    QDate paidOn;
    QStringList nameWords;  // folded once: a name is compared with many payers
    QString member;
};

QStringList words(const QString& text) {
    static const QRegularExpression sep(QStringLiteral("[^a-z0-9]+"));
    QStringList out = foldForSearch(text).split(sep, Qt::SkipEmptyParts);
    out.removeIf([](const QString& w) { return w.size() < 2; });
    return out;
}

// Every word of the buyer's name among the payer's words ("Müller, Hans" pays for
// "Hans Müller"), or the member name in the reference.
bool nameMatches(const Unit& u, const QSet<QString>& payer, const QString& foldedZweck) {
    bool all = !u.nameWords.isEmpty();
    for (const QString& w : u.nameWords) all = all && payer.contains(w);
    return all || (u.member.size() >= 3 && foldedZweck.contains(u.member));
}

QList<Unit> unitsOf(const QList<OpenSale>& sales) {
    QList<Unit> units;
    QHash<QString, qsizetype> groups;  // open group id → unit
    for (const OpenSale& s : sales) {
        if (s.Bezahlt || s.GruppenID.trimmed().isEmpty()) {
            Unit u;
            u.sales << &s;
            u.paid = s.Bezahlt;
            u.paidOn = s.BezahltAm;
            units << u;
            continue;
        }
        const auto g = groups.constFind(s.GruppenID);
        if (g == groups.constEnd()) {
            groups.insert(s.GruppenID, units.size());
            Unit u;
            u.sales << &s;
            units << u;
        } else {
            units[*g].sales << &s;
        }
    }
    for (Unit& u : units) {
        u.nameWords = words(u.sales.front()->Name);
        u.member = foldForSearch(u.sales.front()->ebayName).simplified();
        if (u.sales.size() == 1) {
            u.totals << cents(amountOf(u.sales.front()->Betrag));
            continue;
        }
        // The group mail asks for the items and one shipping; a buyer may also add up the totals.
        double items = 0, totals = 0;
        for (const OpenSale* s : u.sales) {
            items += amountOf(s->Preis) * funCDbl(s->Menge);
            totals += amountOf(s->Betrag);
        }
        u.totals << cents(totals);
        for (const OpenSale* s : u.sales) u.totals << cents(items + amountOf(s->Versandkosten));
    }
    return units;
}

}  // namespace

QString gradeText(Grade g) {
    switch (g) {
        case Grade::Sicher: return QStringLiteral("sicher");
        case Grade::Wahrscheinlich: return QStringLiteral("wahrscheinlich");
        case Grade::Erfasst: return QStringLiteral("bereits erfasst");
        case Grade::Keine: break;
    }
    return QStringLiteral("keine");
}

QList<Proposal> matchCredits(const QList<Credit>& credits, const QList<OpenSale>& sales) {
    const QList<Unit> units = unitsOf(sales);
    QHash<QString, QList<qsizetype>> byNumber;
    QHash<qint64, QList<qsizetype>> byAmount;
    for (qsizetype i = 0; i < units.size(); ++i) {
        for (const OpenSale* s : units[i].sales)
            if (!s->AuktionsNr.trimmed().isEmpty()) byNumber[s->AuktionsNr.trimmed()] << i;
        for (const qint64 t : units[i].totals) byAmount[t] << i;
    }
    // What each credit could pay, oldest sale first.
    struct Fit {
        QList<qsizetype> sure, idOnly, amountOnly;
        QSet<qsizetype> byId;
        qsizetype known = -1;  // a paid sale it pays
    };
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    QList<Fit> fits;
    fits.reserve(credits.size());
    for (const Credit& c : credits) {
        Fit f;
        for (auto it = digits.globalMatch(c.Zweck); it.hasNext();)
            for (const qsizetype u : byNumber.value(it.next().captured(0))) f.byId << u;
        const QStringList payerWords = words(c.Name);
        const QSet<QString> payer(payerWords.begin(), payerWords.end());
        const QString zweck = foldForSearch(c.Zweck);
        QList<qsizetype> candidates(f.byId.begin(), f.byId.end());
        for (const qsizetype u : byAmount.value(c.Cent))
            if (!f.byId.contains(u)) candidates << u;
        std::sort(candidates.begin(), candidates.end());
        for (const qsizetype u : candidates) {
            const Unit& unit = units[u];
            const bool id = f.byId.contains(u), amount = unit.totals.contains(c.Cent);
            const bool name = nameMatches(unit, payer, zweck);
            if (unit.paid) {
                // Read before: the sale it pays is marked already.
                if (amount && (id || (name && unit.paidOn == c.Buchungstag))) f.known = u;
            } else if (amount && (id || name)) {
                f.sure << u;
            } else if (id) {
                f.idOnly << u;
            } else if (amount) {
                f.amountOnly << u;
            }
        }
        fits << f;
    }
    QList<Proposal> out(credits.size());
    QList<qsizetype> chosen(credits.size(), -1);
    QSet<qsizetype> taken;  // a sale proposed for one credit is not proposed for another
    const auto free = [&taken](const QList<qsizetype>& l) {
        QList<qsizetype> r;
        for (const qsizetype u : l)
            if (!taken.contains(u)) r << u;
        return r;
    };
    // The sure ones first, so that a guess for one credit never takes the sale another one surely pays.
    for (qsizetype i = 0; i < credits.size(); ++i) {
        const Fit& f = fits[i];
        Proposal& p = out[i];
        p.Gutschrift = credits[i];
        const QList<qsizetype> sure = free(f.sure);
        QList<qsizetype> withId;
        for (const qsizetype u : sure)
            if (f.byId.contains(u)) withId << u;
        if (f.known >= 0 && f.sure.isEmpty()) {
            chosen[i] = f.known;
            p.Einstufung = Grade::Erfasst;
            p.Grund = QStringLiteral("als bezahlt erfasst");
        } else if (sure.size() == 1 || withId.size() == 1) {
            chosen[i] = sure.size() == 1 ? sure.front() : withId.front();
            p.Einstufung = Grade::Sicher;
            p.Grund = f.byId.contains(chosen[i]) ? QStringLiteral("Artikelnummer und Betrag") : QStringLiteral("Name und Betrag");
            taken << chosen[i];
        }
    }
    for (qsizetype i = 0; i < credits.size(); ++i) {
        if (chosen[i] >= 0) continue;
        const Fit& f = fits[i];
        Proposal& p = out[i];
        const QList<qsizetype> sure = free(f.sure), idOnly = free(f.idOnly), amountOnly = free(f.amountOnly);
        if (!sure.isEmpty()) {
            chosen[i] = sure.front();
            p.Grund = sure.size() > 1 ? QStringLiteral("Name und Betrag passen zu %1 Verkäufen").arg(sure.size())
                                      : QStringLiteral("Name und Betrag; ein zweiter passender Verkauf ist schon zugeordnet");
        } else if (idOnly.size() == 1) {
            chosen[i] = idOnly.front();
            p.Grund = QStringLiteral("Artikelnummer, aber anderer Betrag");
        } else if (idOnly.isEmpty() && amountOnly.size() == 1) {
            chosen[i] = amountOnly.front();
            p.Grund = QStringLiteral("nur der Betrag");
        } else {
            p.Grund = idOnly.size() + amountOnly.size() > 1 ? QStringLiteral("mehrere Verkäufe möglich")
                                                            : QStringLiteral("kein offener Verkauf passt");
            continue;
        }
        p.Einstufung = Grade::Wahrscheinlich;
        taken << chosen[i];
    }
    for (qsizetype i = 0; i < credits.size(); ++i) {
        if (chosen[i] < 0) continue;
        Proposal& p = out[i];
        const Unit& u = units[chosen[i]];
        for (const OpenSale* s : u.sales) {
            p.AuktionsIDs << s->AuktionsID;
            p.AuktionsNrn << s->AuktionsNr;
        }
        p.Kaeufer = u.sales.front()->ebayName;
        p.Erwartet = u.totals.contains(credits[i].Cent) ? credits[i].Cent : *std::min_element(u.totals.begin(), u.totals.end());
    }
    return out;
}

Result<QList<OpenSale>> loadSalesForMatching() {
    CALLSTACK_MODULE("modBank");
    try {
        Database db = Database::open(gsDataSource);
        QList<OpenSale> out;
        QStringList names;
        db.forEachRow(
            QStringLiteral("select a.AuktionsID, a.AuktionsNr, a.GruppenID, a.ebayName, k.Name, a.Preis, a.Menge, a.Betrag, "
                           "a.Versandkosten, a.Bezahlt, a.BezahltDatum from Auktionen a join Kunden k on k.ebayName = "
                           "a.ebayName and k.Standarduser = a.Standarduser where a.Standarduser = ? and a.Abgeschlossen = 0 "
                           "and k.Kunde <> 0 order by a.EndeDatum, a.rowid"),
            {gsStandardUser}, names, [&out](sqlite3_stmt* st) {
                const auto t = [st](int i) {
                    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                             sqlite3_column_bytes(st, i));
                };
                OpenSale s;
                s.AuktionsID = t(0);
                s.AuktionsNr = t(1);
                s.GruppenID = t(2);
                s.ebayName = t(3);
                s.Name = t(4);
                s.Preis = t(5);
                s.Menge = t(6);
                s.Betrag = t(7);
                s.Versandkosten = t(8);
                s.Bezahlt = sqlite3_column_int64(st, 9) != 0;
                s.BezahltAm = QDate::fromString(t(10).left(10), Qt::ISODate);
                out << s;
            });
        return out;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die offenen Verkäufe können nicht gelesen werden:"), e);
    }
}

Result<QList<Proposal>> proposalsFor(const QList<Credit>& credits) {
    const Result<QList<OpenSale>> sales = loadSalesForMatching();
    if (!sales.ok()) return sales.error();
    return matchCredits(credits, sales.value());
}

Result<int> applyProposals(const QList<Proposal>& confirmed) {
    CALLSTACK_MODULE("modBank");
    try {
        // All of them or none: a statement half applied would be read again with other proposals.
        Transaction tx(gsDataSource);
        Database db = Database::open(gsDataSource);
        int set = 0;
        for (const Proposal& p : confirmed) {
            if (p.Einstufung != Grade::Sicher && p.Einstufung != Grade::Wahrscheinlich) continue;
            for (const QString& id : p.AuktionsIDs) {
                Recordset rs = db.OpenRecordset(
                    QStringLiteral("select Bezahlt from Auktionen where AuktionsID = ? and Standarduser = ?"),
                    {id, gsStandardUser});
                if (rs.RecordCount() < 1) continue;
                rs.MoveFirst();
                if (rs.value(QStringLiteral("Bezahlt")).toLongLong() != 0) continue;  // paid meanwhile: its day stays
                const Status s = SaveStatusMail(id, QDateTime(p.Gutschrift.Buchungstag, QTime(0, 0)), 2);
                if (!s.ok()) return s.error();
                ++set;
            }
        }
        tx.commit();
        return set;
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Die Zahlungen können nicht gespeichert werden:"), e);
    }
}

}  // namespace gd
