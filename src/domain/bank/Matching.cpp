#include "domain/bank/Matching.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "base/CallStack.h"
#include "base/Money.h"
#include "domain/bank/Payouts.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"
#include "domain/db/SearchFold.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/Trade.h"

namespace gd {
namespace {

// A booked sale's item number and buyer.
std::optional<std::pair<QString, QString>> saleNameOf(Database& db, const QString& auktionsID) {
    return db.firstRow(QStringLiteral("select AuktionsNr, ebayName from Auktionen where AuktionsID = ?"), {auktionsID},
                       [](const DbRow& r) { return std::pair(r.text(0), r.text(1)); });
}

// One sale, or the sales of one group: what one transfer pays.
struct Unit {
    QList<const OpenSale*> sales;
    qint64 asked = 0;  // the stored totals less what was paid in part
    bool paid = false;
    QDate paidOn;
    QList<std::pair<QDate, qint64>> parts;
    QStringList nameWords;  // folded once per buyer: a name is compared with many payers
    QString member;
};

QStringList words(const QString& text) {
    static const QRegularExpression sep(QStringLiteral("[^a-z0-9]+"));
    QStringList out = foldForSearch(text).split(sep, Qt::SkipEmptyParts);
    out.removeIf([](const QString& w) { return w.size() < 2; });
    return out;
}

// The member name as a word of its own in the reference: "anna" is no match in "Johanna".
bool containsWord(const QString& folded, const QString& word) {
    const auto letter = [](QChar c) { return c.isLetterOrNumber(); };
    for (qsizetype at = folded.indexOf(word); at >= 0; at = folded.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || !letter(folded[at - 1])) && (end == folded.size() || !letter(folded[end]))) return true;
    }
    return false;
}

// Every word of the buyer's name among the payer's words ("Müller, Hans" pays for
// "Hans Müller"), the member name in the reference, or the buyer's e-mail address as the payer's.
bool nameMatches(const Unit& u, const QSet<QString>& payer, const QString& foldedZweck, const QString& email) {
    if (!email.isEmpty() && u.sales.front()->Email.trimmed().compare(email, Qt::CaseInsensitive) == 0) return true;
    bool all = !u.nameWords.isEmpty();
    for (const QString& w : u.nameWords) all = all && payer.contains(w);
    return all || (u.member.size() >= 3 && containsWord(foldedZweck, u.member));
}

QList<Unit> unitsOf(const QList<OpenSale>& sales) {
    QList<Unit> units;
    units.reserve(sales.size());
    // A group is one transfer whether it is paid or not: a statement read again meets it whole.
    QHash<std::pair<bool, QString>, qsizetype> groups;
    for (const OpenSale& s : sales) {
        const QString group = s.GruppenID.trimmed();
        const auto key = std::make_pair(s.Bezahlt, group);
        const auto g = group.isEmpty() ? groups.constEnd() : groups.constFind(key);
        if (g == groups.constEnd()) {
            if (!group.isEmpty()) groups.insert(key, units.size());
            Unit u;
            u.paid = s.Bezahlt;
            u.paidOn = s.BezahltAm;
            units << u;
        }
        Unit& u = units[g == groups.constEnd() ? units.size() - 1 : *g];
        u.sales << &s;
        u.asked += s.Cent ? *s.Cent : centsOr0(s.Betrag);
        for (const auto& part : s.Teilzahlungen) {
            u.parts << part;
            u.asked -= part.second;
        }
    }
    // A buyer's sales share the name: each folded once.
    QHash<QString, QStringList> wordsOf;
    QHash<QString, QString> memberOf;
    for (Unit& u : units) {
        const OpenSale& s = *u.sales.front();
        auto w = wordsOf.constFind(s.Name);
        if (w == wordsOf.constEnd()) w = wordsOf.insert(s.Name, words(s.Name));
        u.nameWords = *w;
        auto m = memberOf.constFind(s.ebayName);
        if (m == memberOf.constEnd()) m = memberOf.insert(s.ebayName, foldForSearch(s.ebayName).simplified());
        u.member = *m;
    }
    return units;
}

}  // namespace

QString gradeText(Grade g) {
    switch (g) {
        case Grade::Sicher:
            return QStringLiteral("sicher");
        case Grade::Wahrscheinlich:
            return QStringLiteral("wahrscheinlich");
        case Grade::Erfasst:
            return QStringLiteral("bereits erfasst");
        case Grade::Keine:
            break;
    }
    return QStringLiteral("keine");
}

QList<Proposal> matchCredits(const QList<Credit>& credits, const QList<OpenSale>& sales) {
    const QList<Unit> units = unitsOf(sales);
    // Only what some credit names is indexed: a statement names a few hundred of ten thousand sales.
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    QList<QStringList> numbersOf;
    QSet<QString> named;
    QSet<qint64> amounts;
    numbersOf.reserve(credits.size());
    for (const Credit& c : credits) {
        QStringList n;
        for (auto it = digits.globalMatch(c.Zweck); it.hasNext();) n << it.next().captured(0);
        named.unite(QSet<QString>(n.begin(), n.end()));
        numbersOf << n;
        amounts.insert(c.Cent);
    }
    QMultiHash<QString, qsizetype> byNumber;
    QMultiHash<qint64, qsizetype> byAmount;
    for (qsizetype i = 0; i < units.size(); ++i) {
        for (const OpenSale* s : units[i].sales)
            if (named.contains(s->AuktionsNr))
                byNumber.insert(s->AuktionsNr, i);
            else if (const QString nr = s->AuktionsNr.trimmed();
                     nr.size() != s->AuktionsNr.size() && named.contains(nr))
                byNumber.insert(nr, i);
        if (amounts.contains(units[i].asked)) byAmount.insert(units[i].asked, i);
        // A paid sale or a part payment is known by the amount that was booked.
        for (const auto& part : units[i].parts)
            if (amounts.contains(part.second)) byAmount.insert(part.second, i);
    }
    // What each credit could pay, oldest sale first.
    struct Fit {
        QList<qsizetype> sure, idOnly, amountOnly;
        QList<qsizetype> byId;                       // a few at most: a list is quicker than a set
        qsizetype knownById = -1, knownByName = -1;  // a paid sale or part payment it is
    };
    QList<Fit> fits;
    fits.reserve(credits.size());
    for (qsizetype ci = 0; ci < credits.size(); ++ci) {
        const Credit& c = credits[ci];
        Fit f;
        for (const QString& n : numbersOf[ci])
            for (auto [at, end] = byNumber.equal_range(n); at != end; ++at)
                if (!f.byId.contains(*at)) f.byId << *at;
        const QStringList payerWords = words(c.Name);
        const QSet<QString> payer(payerWords.begin(), payerWords.end());
        const QString zweck = foldForSearch(c.Zweck);
        QList<qsizetype> candidates(f.byId.begin(), f.byId.end());
        for (auto [at, end] = byAmount.equal_range(c.Cent); at != end; ++at)
            if (!f.byId.contains(*at)) candidates << *at;
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (const qsizetype u : candidates) {
            const Unit& unit = units[u];
            const bool id = f.byId.contains(u), amount = unit.asked == c.Cent;
            const bool name = nameMatches(unit, payer, zweck, c.Email.trimmed());
            // Read before: the sale it pays is marked paid, or the part it paid is kept.
            bool booked = unit.paid && amount && (id || unit.paidOn == c.Buchungstag);
            for (const auto& part : unit.parts)
                booked = booked || (part.first == c.Buchungstag && part.second == c.Cent);
            if (booked && id && f.knownById < 0)
                f.knownById = u;
            else if (booked && name && f.knownByName < 0)
                f.knownByName = u;
            else if (unit.paid)
                continue;
            else if (amount && (id || name))
                f.sure << u;
            else if (id)
                f.idOnly << u;
            else if (amount)
                f.amountOnly << u;
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
        // A credit naming a sale it has paid already pays nothing else of that buyer.
        const qsizetype known = f.knownById >= 0 ? f.knownById : (withId.isEmpty() ? f.knownByName : -1);
        if (known >= 0) {
            chosen[i] = known;
            p.Einstufung = Grade::Erfasst;
            p.Grund =
                units[known].paid ? QStringLiteral("als bezahlt erfasst") : QStringLiteral("als Teilzahlung erfasst");
        } else if (sure.size() == 1 || withId.size() == 1) {
            chosen[i] = sure.size() == 1 ? sure.front() : withId.front();
            p.Einstufung = Grade::Sicher;
            p.Grund = f.byId.contains(chosen[i]) ? QStringLiteral("Artikelnummer und Betrag")
                                                 : QStringLiteral("Name und Betrag");
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
            p.Grund = sure.size() > 1
                          ? QStringLiteral("Name und Betrag passen zu %1 Verkäufen").arg(sure.size())
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
        p.Erwartet = p.Einstufung == Grade::Erfasst ? credits[i].Cent : u.asked;
    }
    return out;
}

Result<QList<OpenSale>> loadSalesForMatching(const Store& store, bool withEmail) {
    CALLSTACK_MODULE("modBank");
    return dbStep(
        QStringLiteral("Die offenen Verkäufe können nicht gelesen werden:"), [&]() -> Result<QList<OpenSale>> {
            Database db = store.open();
            QList<OpenSale> out;
            QStringList names;
            db.forEachRow(
                QStringLiteral(
                    "select a.AuktionsID, a.AuktionsNr, a.GruppenID, a.ebayName, k.Name, a.Betrag, a.Bezahlt, "
                    "a.BezahltDatum, ") +
                    (withEmail ? QStringLiteral("k.Email") : QStringLiteral("''")) +
                    QStringLiteral(" from Auktionen a join Kunden k on k.ebayName = "
                                   "a.ebayName and k.Standarduser = a.Standarduser where a.Standarduser = ? and "
                                   "a.Abgeschlossen = 0 "
                                   "and k.Kunde <> 0 order by a.EndeDatum, a.rowid"),
                {store.user}, names, [&out, withEmail](const DbRow& st) {
                    const auto t = [st](int i) { return QString::fromUtf8(st.cstr(i), st.bytes(i)); };
                    OpenSale s;
                    s.AuktionsID = t(0);
                    s.AuktionsNr = t(1);
                    s.GruppenID = t(2);
                    s.ebayName = t(3);
                    s.Name = t(4);
                    // "30,90" as nearly every stored total reads: taken without a string; others parsed.
                    const char* b = st.cstr(5);
                    const int n = st.bytes(5);
                    qint64 whole = 0;
                    int i = 0;
                    while (i < n && i < 9 && b[i] >= '0' && b[i] <= '9') whole = whole * 10 + (b[i++] - '0');
                    if (i > 0 && i + 3 == n && b[i] == ',' && b[i + 1] >= '0' && b[i + 1] <= '9' && b[i + 2] >= '0' &&
                        b[i + 2] <= '9')
                        s.Cent = whole * 100 + (b[i + 1] - '0') * 10 + (b[i + 2] - '0');
                    else
                        s.Betrag = t(5);
                    s.Bezahlt = st.int64(6) != 0;
                    // A sale not paid keeps the zero date: not parsed for nothing.
                    if (s.Bezahlt) s.BezahltAm = QDate::fromString(t(7).left(10), Qt::ISODate);
                    if (withEmail) s.Email = t(8);
                    out.append(std::move(s));
                });
            // What an unpaid sale has received so far, from its journal: few sales have any.
            QHash<QString, qsizetype> byId;  // built at the first entry: most files have none
            db.forEachRow(
                QStringLiteral("select b.AuktionsID, b.Tag, b.Cent from Buchungen b join Auktionen a on "
                               "a.AuktionsID = b.AuktionsID where b.Standarduser = ? and a.Abgeschlossen = 0 "
                               "and a.Bezahlt = 0 and b.Art in ('Zahlung', 'Erstattung', 'Rueckbuchung', "
                               "'Storno', 'Abschreibung', 'Rueckgabe')"),
                {store.user}, names, [&](const DbRow& st) {
                    if (byId.isEmpty())
                        for (qsizetype i = 0; i < out.size(); ++i) byId.insert(out[i].AuktionsID, i);
                    const auto it = byId.constFind(QString::fromUtf8(st.cstr(0), st.bytes(0)));
                    if (it == byId.constEnd()) return;
                    const QString day = QString::fromUtf8(st.cstr(1));
                    out[*it].Teilzahlungen.append({QDate::fromString(day.left(10), Qt::ISODate), -st.int64(2)});
                });
            return out;
        });
}

QString creditKey(const Credit& c) {
    if (!c.Referenz.trimmed().isEmpty()) return c.Referenz.trimmed();
    // Without the bank's reference: the entry as written, which reads the same every time.
    const QByteArray all = QStringLiteral("%1|%2|%3|%4|%5")
                               .arg(c.Buchungstag.toString(Qt::ISODate))
                               .arg(c.Cent)
                               .arg(c.Name, c.Zweck, c.Iban)
                               .toUtf8();
    return QStringLiteral("#") + QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha1).toHex());
}

namespace {

bool fromPayPal(const Credit& c) { return !c.Email.isEmpty() || c.Gebuehr > 0; }
QString sourceOf(const Credit& c) { return fromPayPal(c) ? quelle::PayPal : quelle::Kontoauszug; }

}  // namespace

Result<QList<Proposal>> proposalsFor(const Store& store, const QList<Credit>& credits) {
    const bool emails = std::any_of(credits.begin(), credits.end(), [](const Credit& c) { return !c.Email.isEmpty(); });
    const Result<QList<OpenSale>> sales = loadSalesForMatching(store, emails);
    if (!sales.ok()) return sales.error();
    QList<Proposal> out = matchCredits(credits, sales.value());
    // A credit booked before, however it was matched then, is known by its reference.
    const Status known = dbStep(QStringLiteral("Die Buchungen können nicht gelesen werden:"), [&]() -> Status {
        Database db = store.open();
        for (Proposal& p : out) {
            const QStringList ids = journal::bookedBy(db, store.user, sourceOf(p.Gutschrift), creditKey(p.Gutschrift));
            if (ids.isEmpty()) continue;
            p.Einstufung = Grade::Erfasst;
            p.AuktionsIDs = ids;
            p.AuktionsNrn.clear();
            for (const QString& id : ids) {
                const std::optional<std::pair<QString, QString>> sale = saleNameOf(db, id);
                if (!sale) continue;
                p.AuktionsNrn << sale->first;
                p.Kaeufer = sale->second;
            }
            p.Erwartet = p.Gutschrift.Cent;
            p.Grund = QStringLiteral("gebucht");
        }
        // A payout's credit seen in the bank before is known too: its sales were booked through it.
        QList<std::pair<QString, qint64>> seen;
        QStringList names;
        db.forEachRow(QStringLiteral("select z.ID, sum(p.Brutto - p.Gebuehren) from Auszahlungen z join "
                                     "AuszahlungsPosten p on p.Standarduser = z.Standarduser and p.AuszahlungsID = "
                                     "z.ID where z.Standarduser = ? and z.Gutschrift <> '' group by z.ID"),
                      {store.user}, names, [&seen](const DbRow& r) {
                          seen.append({r.text(0), r.int64(1)});
                      });
        for (Proposal& p : out)
            for (const auto& [id, net] : seen)
                if (p.Einstufung != Grade::Erfasst && p.Gutschrift.Cent == net && namesId(p.Gutschrift.Zweck, id)) {
                    p.Einstufung = Grade::Erfasst;
                    p.AuktionsIDs.clear();
                    p.AuktionsNrn.clear();
                    p.Grund = QStringLiteral("Auszahlung %1").arg(id);
                }
        return {};
    });
    if (!known.ok()) return known.error();
    return out;
}

Result<int> applyProposals(const Store& store, const QList<Proposal>& confirmed, int* partPayments,
                           QStringList* notes) {
    CALLSTACK_MODULE("modBank");
    if (partPayments) *partPayments = 0;
    return dbStep(QStringLiteral("Die Zahlungen können nicht gespeichert werden:"), [&]() -> Result<int> {
        // All of them or none: a statement half applied would be read again with other proposals.
        Transaction tx(store);
        Database db = tx.database();
        int set = 0;
        for (const Proposal& p : confirmed) {
            if (p.Einstufung != Grade::Sicher && p.Einstufung != Grade::Wahrscheinlich) continue;
            if (p.AuktionsIDs.isEmpty() || p.Gutschrift.Cent <= 0) continue;
            const Credit& c = p.Gutschrift;
            const QString key = creditKey(c);
            if (!journal::bookedBy(db, store.user, sourceOf(c), key).isEmpty()) continue;  // booked before
            const QStringList& unit = p.AuktionsIDs;
            const qint64 before = journal::balance(db, store.user, unit);
            JournalEntry pay;
            pay.Tag = c.Buchungstag;
            pay.Cent = -c.Cent;
            pay.Art = art::Zahlung;
            pay.Konto = fromPayPal(c) ? konto::PayPal : konto::Bank;
            pay.Quelle = sourceOf(c);
            pay.Referenz = key;
            pay.Text = c.Name.left(80);
            journal::receive(db, store.user, unit, pay);
            // A fee the payment service kept (PayPal), beside the payment on its day.
            if (c.Gebuehr > 0) {
                JournalEntry fee = pay;
                fee.AuktionsID = unit.front();
                fee.Cent = c.Gebuehr;
                fee.Art = art::Gebuehr;
                fee.Text.clear();
                journal::append(db, store.user, fee);
            }
            qint64 after = journal::balance(db, store.user, unit);
            // Less than asked and not kept as a part payment: the user settled it, the rest written off.
            if (after > 0 && !p.Teilzahlung) {
                journal::writeOffRest(db, store.user, unit, c.Buchungstag, QString(), key);
                after = journal::balance(db, store.user, unit);
            }
            if (after > 0) {
                if (partPayments) ++*partPayments;
                if (notes)
                    *notes << QStringLiteral("%1: Teilzahlung %2, offen %3")
                                  .arg(p.AuktionsNrn.join(QStringLiteral(", ")), euroText(c.Cent), euroText(after));
            } else if (before > 0) {
                set += int(unit.size());
            }
            if (after < 0 && notes)
                *notes << QStringLiteral("%1: %2 zu viel gezahlt – Guthaben von %3; bitte erstatten")
                              .arg(p.AuktionsNrn.join(QStringLiteral(", ")), euroText(-after), p.Kaeufer);
        }
        tx.commit();
        return set;
    });
}

Result<QList<ReturnProposal>> returnsFor(const Store& store, const QList<Credit>& returns) {
    CALLSTACK_MODULE("modBank");
    QList<ReturnProposal> out;
    return dbStep(
        QStringLiteral("Die Rücklastschriften können nicht zugeordnet werden:"),
        [&]() -> Result<QList<ReturnProposal>> {
            Database db = store.open();
            for (const Credit& r : returns) {
                ReturnProposal p;
                p.Rueckbuchung = r;
                const QStringList booked = journal::bookedBy(db, store.user, quelle::Kontoauszug, creditKey(r));
                struct Paid {
                    QString id, nr, member, name, payer;
                };
                QList<Paid> paid;
                QStringList names;
                db.forEachRow(
                    QStringLiteral("select b.AuktionsID, a.AuktionsNr, a.ebayName, k.Name, b.Text from Buchungen b "
                                   "join Auktionen a on a.AuktionsID = b.AuktionsID join Kunden k on k.ebayName "
                                   "= a.ebayName and k.Standarduser = a.Standarduser where b.Standarduser = ? and "
                                   "b.Art = 'Zahlung' and b.Konto = 'Bank' and b.Cent = ? order by b.Tag desc"),
                    {store.user, -r.Cent}, names, [&paid](const DbRow& row) {
                        paid.append({row.text(0), row.text(1), row.text(2), row.text(3), row.text(4)});
                    });
                QList<Paid> byNr, byName;
                const QStringList payer = words(r.Name);
                for (const Paid& x : paid) {
                    if (!x.nr.trimmed().isEmpty() && r.Zweck.contains(x.nr.trimmed())) byNr << x;
                    const QStringList who = words(x.payer.isEmpty() ? x.name : x.payer);
                    if (!payer.isEmpty() && !who.isEmpty() &&
                        std::all_of(who.begin(), who.end(), [&payer](const QString& w) { return payer.contains(w); }))
                        byName << x;
                }
                const QList<Paid>& found = byNr.size() == 1 ? byNr : byName;
                if (!booked.isEmpty()) {
                    p.Erfasst = true;
                    p.AuktionsID = booked.front();
                    const auto sale = saleNameOf(db, p.AuktionsID).value_or(std::pair<QString, QString>());
                    p.AuktionsNr = sale.first;
                    p.Kaeufer = sale.second;
                    p.Grund = QStringLiteral("gebucht");
                } else if (found.size() == 1) {
                    p.AuktionsID = found.front().id;
                    p.AuktionsNr = found.front().nr;
                    p.Kaeufer = found.front().member;
                    p.Grund = &found == &byNr ? QStringLiteral("Artikelnummer und Betrag")
                                              : QStringLiteral("Name und Betrag");
                } else {
                    p.Grund = found.isEmpty() ? QStringLiteral("keine Zahlung dieses Betrags gefunden")
                                              : QStringLiteral("mehrere Zahlungen dieses Betrags möglich");
                }
                out << p;
            }
            return out;
        });
}

Result<int> applyReturns(const Store& store, const QList<ReturnProposal>& returns, QStringList* notes) {
    CALLSTACK_MODULE("modBank");
    return dbStep(QStringLiteral("Die Rücklastschriften können nicht gespeichert werden:"), [&]() -> Result<int> {
        Transaction tx(store);
        Database db = tx.database();
        int reopened = 0;
        for (const ReturnProposal& p : returns) {
            const Credit& r = p.Rueckbuchung;
            if (p.Erfasst || p.AuktionsID.isEmpty()) {
                if (notes && !p.Erfasst)
                    *notes << QStringLiteral("Rücklastschrift %1 (%2) am %3: %4 – bitte selbst prüfen")
                                  .arg(euroText(r.Cent), r.Name, r.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")),
                                       p.Grund);
                continue;
            }
            const QString key = creditKey(r);
            if (!journal::bookedBy(db, store.user, quelle::Kontoauszug, key).isEmpty()) continue;
            JournalEntry e;
            e.AuktionsID = p.AuktionsID;
            e.Tag = r.Buchungstag;
            e.Cent = r.Cent;
            e.Art = art::Rueckbuchung;
            e.Konto = konto::Bank;
            e.Quelle = quelle::Kontoauszug;
            e.Referenz = key;
            e.Text = r.Name.left(80);
            journal::append(db, store.user, e);
            journal::settle(db, store.user, {p.AuktionsID}, r.Buchungstag);
            ++reopened;
            if (notes)
                *notes << QStringLiteral("Rücklastschrift %1 für %2 (%3): wieder offen %4")
                              .arg(euroText(r.Cent), p.AuktionsNr, p.Kaeufer,
                                   euroText(journal::balance(db, store.user, {p.AuktionsID})));
        }
        tx.commit();
        return reopened;
    });
}

}  // namespace gd
