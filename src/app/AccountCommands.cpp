#include "app/AccountCommands.h"

#include "app/BooksCommands.h"
#include "app/CliCommon.h"
#include "base/Clock.h"
#include "base/Money.h"
#include "domain/bank/Matching.h"
#include "domain/books/RefundMatching.h"
#include "domain/db/Journal.h"
#include "domain/mail/MailComposer.h"
#include "domain/mail/modVorlagen.h"
#include "domain/settings/modGlobal.h"
#include "domain/trade/LoadSave.h"

namespace gd {

using namespace cli;

int kontoCommand(const QString& auktionsNr) {
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<TradeAccount> account = loadAccountByNr(currentStore(), auktionsNr);
    if (!account.ok()) return fail(oneLine(account.error()));
    if (account.value().Buchungen.isEmpty())
        return fail(QStringLiteral("Zur Auktion „%1“ gibt es keine Buchungen: Buchungen führt Gaveldesk für Verkäufe.")
                        .arg(auktionsNr.trimmed()));
    const bool group = account.value().AuktionsIDs.size() > 1;
    for (const JournalEntry& e : account.value().Buchungen)
        out() << (group ? e.AuktionsNr + QStringLiteral("  ") : QString()) << entryLine(e) << '\n';
    out() << balanceText(account.value().Saldo) << '\n';
    out().flush();
    return 0;
}

int refundCommand(const QString& auktionsNr) {
    if (!initApp()) return 1;
    if (const auto refused = refuseDamaged()) return *refused;
    const Result<QString> id = auktionsIdOf(currentStore(), auktionsNr);
    if (!id.ok()) return fail(oneLine(id.error()));
    const Result<TradeAccount> before = loadAccount(currentStore(), id.value());
    if (!before.ok()) return fail(oneLine(before.error()));
    const Status done = refundCredit(currentStore(), id.value(), today());
    if (!done.ok()) return fail(oneLine(done.error()));
    err() << "Erstattung von " << euroText(-before.value().Saldo) << " gebucht; " << auktionsNr.trimmed() << ": "
          << balanceText(0) << ".\n";
    err().flush();
    return 0;
}

namespace {

// The template by its number in the list, its key ("x4") or its name ("Zahlungserinnerung").
int templateIndex(const QString& wanted, bool lieferant, bool grouped) {
    const QStringList names = templateNames(lieferant, grouped);
    bool number = false;
    const int n = wanted.toInt(&number);
    if (number) return n >= 0 && n < names.size() ? n : -1;
    const QString letter = catalogueLetter(lieferant, grouped);
    if (wanted.startsWith(letter, Qt::CaseInsensitive)) {
        const int k = wanted.mid(letter.size()).toInt(&number);
        if (number && k >= 0 && k < names.size()) return k;
    }
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(wanted.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

int mailCommand(const QStringList& args) {
    if (args.size() != 2)
        return fail(
            QStringLiteral("--mail braucht die Vorlage und die Artikelnummer, etwa --mail "
                           "Zahlungserinnerung 1234567890."));
    readOnce();
    if (!initApp()) return 1;
    warnIfDamaged();
    const Result<QString> id = auktionsIdOf(currentStore(), args[1]);
    if (!id.ok()) return fail(oneLine(id.error()));
    const Result<std::optional<tAuktion>> found = funLoadAuktion(currentStore(), id.value());
    if (!found.ok()) return fail(oneLine(found.error()));
    const tAuktion a = found.value().value_or(tAuktion());
    const Result<std::optional<tKunde>> partner = funLoadKunde(currentStore(), a.ebayName);
    if (!partner.ok()) return fail(oneLine(partner.error()));
    const tKunde k = partner.value().value_or(tKunde());
    const Result<MailInputs> in =
        mailInputsFor(currentStore(), mailProfile(currentSettings()), a, k, a.Preis, a.Versandkosten, a.Betrag);
    if (!in.ok()) return fail(oneLine(in.error()));
    MailComposer composer(in.value());
    if (const Status group = composer.loadGroup(); !group.ok()) return fail(oneLine(group.error()));
    const int index = templateIndex(args[0], in.value().bLieferant, in.value().bGruppiert);
    if (index < 0)
        return fail(
            QStringLiteral("Die Vorlage „%1“ gibt es hier nicht. Vorlagen: %2.")
                .arg(args[0], templateNames(in.value().bLieferant, in.value().bGruppiert).join(QStringLiteral(", "))));
    const QString body = Read_Protokoll_Version(QString::number(index), in.value().bLieferant, in.value().bGruppiert);
    out() << "An: " << composer.smtpEnvelope(k.Email).to << '\n'
          << "Betreff: " << composer.fillSubject(templateSubject(in.value().bLieferant, in.value().bGruppiert, index))
          << '\n'
          << '\n'
          << QString(composer.shownBody(body)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << '\n';
    const QByteArray code = composer.giroCodePayload();
    if (!in.value().bLieferant) {
        out() << "\n-- GiroCode --\n";
        if (code.isEmpty())
            out() << composer.giroCodeMissing() << '\n';
        else
            out() << QString::fromUtf8(code) << '\n';
    }
    out().flush();
    return 0;
}

// One line a credit: grade, booking day, amount, payer, reference, the sales, why.
int bankImport(const QString& file, bool apply, const InvoicePage& page) {
    if (!initApp()) return 1;
    if (apply) {
        if (const auto refused = refuseDamaged()) return *refused;
    } else {
        warnIfDamaged();
    }
    const Result<BankStatement> st = readStatement(file);
    if (!st.ok()) return fail(oneLine(st.error()));
    const Result<QList<Proposal>> proposals = proposalsFor(currentStore(), st.value().Gutschriften);
    if (!proposals.ok()) return fail(oneLine(proposals.error()));
    out() << "Einstufung\tBuchungstag\tBetrag\tAuftraggeber\tVerwendungszweck\tAuktionsNr\tebayName\tGrund\n";
    QList<Proposal> sure;
    for (const Proposal& p : proposals.value()) {
        out() << gradeText(p.Einstufung) << '\t' << p.Gutschrift.Buchungstag.toString(QStringLiteral("dd.MM.yyyy"))
              << '\t' << euroText(p.Gutschrift.Cent) << '\t' << tsvField(p.Gutschrift.Name) << '\t'
              << tsvField(p.Gutschrift.Zweck) << '\t' << p.AuktionsNrn.join(QLatin1Char(',')) << '\t'
              << tsvField(p.Kaeufer) << '\t' << p.Grund << '\n';
        if (p.Einstufung == Grade::Sicher) sure << p;
        // A credit that names the item number with another amount is that sale's money all the
        // same: short, a part payment; over, the buyer's credit to pay back.
        if (p.Einstufung == Grade::Wahrscheinlich && p.Grund == QStringLiteral("Artikelnummer, aber anderer Betrag")) {
            sure << p;
            sure.back().Teilzahlung = true;
        }
    }
    const Result<QList<ReturnProposal>> returns = returnsFor(currentStore(), st.value().Rueckbuchungen);
    if (!returns.ok()) return fail(oneLine(returns.error()));
    for (const ReturnProposal& r : returns.value())
        out() << (r.Erfasst ? QStringLiteral("bereits erfasst") : QStringLiteral("Rücklastschrift")) << '\t'
              << r.Rueckbuchung.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")) << '\t'
              << euroText(-r.Rueckbuchung.Cent) << '\t' << tsvField(r.Rueckbuchung.Name) << '\t'
              << tsvField(r.Rueckbuchung.Zweck) << '\t' << r.AuktionsNr << '\t' << tsvField(r.Kaeufer) << '\t'
              << r.Grund << '\n';
    const Result<QList<RefundProposal>> refunds = refundsFor(currentStore(), st.value().Ausgaenge);
    if (!refunds.ok()) return fail(oneLine(refunds.error()));
    for (const RefundProposal& r : refunds.value())
        out() << (r.Erfasst ? QStringLiteral("bereits erfasst") : QStringLiteral("Erstattung")) << '\t'
              << r.Ausgang.Buchungstag.toString(QStringLiteral("dd.MM.yyyy")) << '\t' << euroText(-r.Ausgang.Cent)
              << '\t' << tsvField(r.Ausgang.Name) << '\t' << tsvField(r.Ausgang.Zweck) << '\t' << r.AuktionsNr << '\t'
              << tsvField(r.Kaeufer) << '\t' << tsvField(r.Grund) << '\n';
    out().flush();
    // What could not be read is named, never passed over: "4 Gutschriften" of 20 entries is no success.
    for (const QString& line : unreadLines(st.value())) err() << "nicht gelesen: " << oneLine(line) << "\n";
    err() << st.value().Format << ": " << proposals.value().size() << " Gutschriften, " << sure.size()
          << " sicher zugeordnet.";
    if (const QString counts = statementCounts(st.value()); !counts.isEmpty()) err() << " " << counts;
    err() << "\n";
    if (!apply) {
        err() << "Nichts geändert; --apply setzt „Bezahlt“ für die sicheren.\n";
        err().flush();
        return 0;
    }
    // Only the sure ones: a probable match needs a person to look at it.
    int parts = 0;
    QStringList notes;
    const Result<int> set = applyProposals(currentStore(), sure, &parts, &notes);
    if (!set.ok()) return fail(oneLine(set.error()));
    const Result<int> reopened = applyReturns(currentStore(), returns.value(), &notes);
    if (!reopened.ok()) return fail(oneLine(reopened.error()));
    const Result<int> refunded =
        applyRefunds(currentStore(), refunds.value(), now(), gSettings.Nummernkreis, page, &notes);
    if (!refunded.ok()) return fail(oneLine(refunded.error()));
    for (const QString& note : notes) err() << oneLine(note) << "\n";
    err() << set.value() << " Verkäufe als bezahlt markiert.";
    if (parts > 0) err() << " " << parts << " Teilzahlung(en) erfasst.";
    err() << "\n";
    err().flush();
    return linkPayoutCredits(st.value().Gutschriften);
}

}  // namespace gd
