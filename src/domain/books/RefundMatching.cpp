#include "domain/books/RefundMatching.h"

#include <QRegularExpression>

#include "base/CallStack.h"
#include "base/Money.h"
#include "domain/bank/Matching.h"
#include "domain/books/Returns.h"
#include "domain/db/Database.h"
#include "domain/db/DbStep.h"
#include "domain/db/Journal.h"

namespace gd {
namespace {

// The item number as a word of its own: "Erstattung 3141592601" names 3141592601, not 314159260.
bool names(const QString& text, const QString& nr) {
    if (nr.isEmpty()) return false;
    const QRegularExpression word(QStringLiteral("(^|[^0-9A-Za-z])") + QRegularExpression::escape(nr) +
                                  QStringLiteral("($|[^0-9A-Za-z])"));
    return word.match(text).hasMatch();
}

}  // namespace

Result<QList<RefundProposal>> refundsFor(const Store& store, const QList<Credit>& outgoing) {
    CALLSTACK_MODULE("modRueckgabe");
    const Result<QList<OpenReturn>> open = openReturns(store);
    if (!open.ok()) return open.error();
    // The transfers booked before, by their keys.
    QHash<QString, QString> booked;  // key: item number
    const Status read = dbStep(QStringLiteral("Die Erstattungen können nicht zugeordnet werden:"), [&]() -> Status {
        Database db = store.open();
        for (const Credit& c : outgoing) {
            const QStringList ids = journal::bookedBy(db, store.user, quelle::Kontoauszug, creditKey(c));
            if (ids.isEmpty()) continue;
            booked.insert(creditKey(c),
                          db.firstRow(QStringLiteral("select AuktionsNr from Auktionen where AuktionsID = ?"),
                                      {ids.front()}, [](const DbRow& r) { return r.text(0); })
                              .value_or(QString()));
        }
        return {};
    });
    if (!read.ok()) return read.error();
    QList<RefundProposal> out;
    for (const Credit& c : outgoing) {
        RefundProposal p;
        p.Ausgang = c;
        if (const auto it = booked.constFind(creditKey(c)); it != booked.constEnd()) {
            p.Erfasst = true;
            p.AuktionsNr = *it;
            p.Grund = QStringLiteral("gebucht");
            out << p;
            continue;
        }
        QList<OpenReturn> named;
        for (const OpenReturn& r : open.value())
            if (names(c.Zweck, r.AuktionsNr.trimmed())) named << r;
        if (named.isEmpty()) continue;
        if (named.size() > 1) {
            p.Grund = QStringLiteral("nennt mehrere offene Rückgaben – bitte selbst erstatten");
            out << p;
            continue;
        }
        p.AuktionsNr = named.front().AuktionsNr;
        p.Kaeufer = named.front().ebayName;
        const Result<RefundDue> due = refundDue(store, p.AuktionsNr);
        if (!due.ok()) {
            p.Grund = due.error().sentence;
        } else if (c.Cent == due.value().erstatten) {
            p.Zurueck = due.value().zurueck;
            p.Grund = QStringLiteral("Artikelnummer und Betrag");
        } else if (c.Cent < due.value().erstatten) {
            // Less than came in: the rest kept (a deduction for wear); the claim falls by what went back.
            p.Zurueck = c.Cent;
            p.Grund = QStringLiteral("Artikelnummer, %1 einbehalten").arg(euroText(due.value().erstatten - c.Cent));
        } else {
            p.Grund = QStringLiteral("mehr als gezahlt wurde (%1) – bitte selbst prüfen")
                          .arg(euroText(due.value().erstatten));
        }
        out << p;
    }
    return out;
}

Result<int> applyRefunds(const Store& store, const QList<RefundProposal>& proposals, const QDateTime& now,
                         const QString& invoicePattern, const InvoicePage& page, QStringList* notes) {
    CALLSTACK_MODULE("modRueckgabe");
    int done = 0;
    for (const RefundProposal& p : proposals) {
        const Credit& c = p.Ausgang;
        const QString what = QStringLiteral("Erstattung %1 an %2 am %3")
                                 .arg(euroText(c.Cent), c.Name, c.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")));
        if (p.Erfasst) continue;
        if (p.Zurueck <= 0) {
            if (notes) *notes << QStringLiteral("%1 (%2): %3").arg(what, p.AuktionsNr, p.Grund);
            continue;
        }
        const Result<RefundDone> booked =
            refundReturn(store, p.AuktionsNr, p.Zurueck, c.Buchungstag, now, invoicePattern, page, creditKey(c));
        if (!booked.ok()) {
            // One refund that cannot be booked stops none of the others; the user is told which.
            if (notes) *notes << QStringLiteral("%1 (%2): %3").arg(what, p.AuktionsNr, booked.error().message());
            continue;
        }
        ++done;
        if (notes)
            *notes << QStringLiteral("%1 für %2 gebucht%3")
                          .arg(what, p.AuktionsNr,
                               booked.value().storno.isEmpty()
                                   ? QString()
                                   : QStringLiteral(", Stornorechnung %1").arg(booked.value().storno));
    }
    return done;
}

}  // namespace gd
