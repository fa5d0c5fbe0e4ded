#include "domain/import/Parser.h"

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/import/Extract.h"
#include "domain/settings/Keywords.h"
#include "domain/settings/modGlobal.h"

#define CALLSTACK_IMPORT() CALLSTACK_MODULE("frmEinlesen")

namespace gd {
namespace {

QString* contactField(tKunde& k, const QString& feld) {
    if (feld == QStringLiteral("ebayName")) return &k.ebayName;
    if (feld == QStringLiteral("Email")) return &k.Email;
    if (feld == QStringLiteral("Name")) return &k.Name;
    if (feld == QStringLiteral("Strasse")) return &k.Strasse;
    if (feld == QStringLiteral("Ort")) return &k.Ort;
    if (feld == QStringLiteral("Land")) return &k.Land;
    return nullptr;
}

QString* addressField(tKunde& k, const QString& feld) {
    if (feld == QStringLiteral("ebayName") || feld == QStringLiteral("Email")) return nullptr;
    return contactField(k, feld);
}

struct AuctionTarget {
    QString* field = nullptr;
    bool removeEur = false;
};

AuctionTarget auctionField(tAuktion& a, const QString& feld, bool sofortkauf) {
    if (feld == QStringLiteral("Titel")) return {&a.Titel};
    if (feld == QStringLiteral("ArtikelNr")) return {&a.AuktionsNr};
    if (feld == QStringLiteral("Preis")) return {&a.Preis, true};
    if (feld == QStringLiteral("Menge")) return {&a.Menge};
    if (feld == QStringLiteral("Betrag")) return {&a.Betrag, true};
    if (feld == QStringLiteral("EndeDatum")) return {&a.EndeDatum};
    if (feld == QStringLiteral("Bezahlung")) return {&a.Bezahlung};
    // Instant purchases have their shipping cost cut too, so that the total can be checked.
    if (feld == QStringLiteral("Versandkosten")) return {&a.Versandkosten, true};
    if (feld == QStringLiteral("Versandversicherung")) return {&a.Versandversicherung};
    if (sofortkauf) {
        if (feld == QStringLiteral("Mitteilung")) return {&a.Mitteilungen};
        if (feld == QStringLiteral("Hinweise")) return {&a.Hinweise};
        if (feld == QStringLiteral("Versandinfos")) return {&a.Versandinfos};
    }
    return {};
}

// The first rule that yields a value wins; later ones only fill what is still empty.
void apply(tFeld& rule, QString* target, const QString& source, bool removeEur) {
    if (!target || !target->isEmpty()) return;
    *target = funGetData(source, rule.sKey, rule.sEnde);
    if (removeEur) target->remove(QStringLiteral("EUR"), Qt::CaseSensitive);
}

// What the fields' change handlers store: the text without outer blanks.
void bindContact(tKunde& k) {
    for (QString* f : {&k.Name, &k.ebayName, &k.Email, &k.Strasse, &k.Ort, &k.Land}) *f = f->trimmed();
}

void subZeigeVerkaeufer(ImportRecords& r) {
    CALLSTACK_IMPORT();
    r.caption = kCaptionVerkaeufer;
    bindContact(r.oLieferant);
}

void subZeigeKaeufer(ImportRecords& r) {
    CALLSTACK_IMPORT();
    r.caption = kCaptionNeutral;
    bindContact(r.oKunde);
}

void subZeigeAuktion(ImportRecords& r) {
    CALLSTACK_IMPORT();
    tAuktion& a = r.oAuktion;
    if (a.EndeDatum.isEmpty()) a.EndeDatum = today().toString(QStringLiteral("dd.MM.yyyy"));
    // No shipping cost cut, or one the shipping text names already: no stray "EUR" glued to it.
    QString versand = a.Versandinfos;
    const QString kosten = a.Versandkosten.trimmed();
    if (!kosten.isEmpty() && !versand.contains(kosten)) versand += QStringLiteral("EUR ") + kosten;
    if (!a.Versandversicherung.isEmpty() && !versand.contains(a.Versandversicherung))
        versand += QStringLiteral(" Versandversicherung: ") + a.Versandversicherung;
    a.Versandinfos = versand;
    for (QString* f : {&a.AuktionsNr, &a.Titel, &a.Preis, &a.Menge, &a.Betrag, &a.EndeDatum, &a.Mitteilungen,
                       &a.Hinweise, &a.Versandinfos, &a.Bezahlung})
        *f = f->trimmed();
    r.shown = true;
    r.acceptable = !a.AuktionsNr.isEmpty();
}

void parseKaufOrVerkauf(ImportRecords& r, std::vector<tFeld>& table, bool kauf) {
    const QString partnerTable = kauf ? QStringLiteral("Lieferanten") : QStringLiteral("Kunden");
    tKunde& partner = kauf ? r.oLieferant : r.oKunde;
    const QString& text = r.oAuktion.EmailText;
    for (tFeld& rule : table) {
        if (rule.sTabelle == partnerTable) {
            apply(rule, contactField(partner, rule.sFeld), text, false);
        } else if (rule.sTabelle == QStringLiteral("Auktionen")) {
            const AuctionTarget t = auctionField(r.oAuktion, rule.sFeld, false);
            apply(rule, t.field, text, t.removeEur);
        }
    }
    if (kauf)
        subZeigeVerkaeufer(r);
    else
        subZeigeKaeufer(r);
    subZeigeAuktion(r);
}

}  // namespace

QString mailKindName(MailKind k) {
    switch (k) {
        case MailKind::Kauf: return QStringLiteral("Kauf");
        case MailKind::Verkauf: return QStringLiteral("Verkauf");
        case MailKind::Sofortkauf: return QStringLiteral("Sofortkauf");
        case MailKind::Keine: break;
    }
    return QString();
}

void ImportRecords::clear() {
    oKunde = tKunde();
    oLieferant = tKunde();
    const QString email = oAuktion.EmailText;
    oAuktion = tAuktion();
    oAuktion.EmailText = email;
    shown = false;
    acceptable = false;
}

QString normalizeMailText(const QString& text) {
    QString t = text;
    // Control characters (NUL, bell, escape sequences) mean nothing in a mail and
    // must not reach fields or the database.
    t.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n') || u == 0x7F;
    });
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

MailKind recogniseMail(const QString& text) {
    CALLSTACK_IMPORT();
    QString test = text;
    test.remove(QStringLiteral("\r\n")).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    const auto has = [&test](const char* phrase) { return test.contains(QString::fromUtf8(phrase), Qt::CaseSensitive); };
    if (has("Sie haben am") || has("Kontaktinformationen des Verkäufers:") || has("Kontaktinformationen des Verkaeufers:"))
        return MailKind::Kauf;
    if (has("Kontaktinformationen des Käufers:") || has("Kontaktinformationen des Kaeufers:") ||
        (has("den folgenden Artikel über eBay") && has("hat am")))
        return MailKind::Verkauf;
    if (has("Sofort-Kaufen")) return MailKind::Sofortkauf;
    return MailKind::Keine;
}

QString subEinlesenKauf(ImportRecords& r) {
    CALLSTACK_IMPORT();
    parseKaufOrVerkauf(r, gaKauf, true);
    return QString();
}

QString subEinlesenVerkauf(ImportRecords& r) {
    CALLSTACK_IMPORT();
    parseKaufOrVerkauf(r, gaVerkauf, false);
    return QString();
}

QString subEinlesenSofortkauf(ImportRecords& r) {
    CALLSTACK_IMPORT();
    const QString& text = r.oAuktion.EmailText;
    QString sellerBlock = funGetData(text, gsVerkaeuferdaten[1], gsVerkaeuferdaten[2]);
    if (sellerBlock.isEmpty()) sellerBlock = funGetData(text, gsVerkaeuferdaten[3], gsVerkaeuferdaten[4]);
    QString buyerBlock = funGetData(text, gsKaeuferdaten[1], gsKaeuferdaten[2]);
    if (buyerBlock.isEmpty()) buyerBlock = funGetData(text, gsKaeuferdaten[3], gsKaeuferdaten[4]);

    for (tFeld& rule : gaSofortkauf) {
        if (rule.sTabelle == QStringLiteral("xxx")) {
            if (r.oLieferant.ebayName != gsEbayName && r.oKunde.ebayName != gsEbayName) {
                r.clear();
                return QStringLiteral("Die Email kann nicht verarbeitet werden.") + QLatin1Char('\r') +
                       QStringLiteral("Verkäufer- und Käufer-Name aus der Email stimmen nicht mit dem eingestellten "
                                      "ebay-Namen überein!");
            }
            if (r.oLieferant.ebayName != gsEbayName)
                apply(rule, addressField(r.oLieferant, rule.sFeld), sellerBlock, false);  // the user bought
            else
                apply(rule, addressField(r.oKunde, rule.sFeld), buyerBlock, false);  // the user sold
            continue;
        }
        if (rule.sTabelle == QStringLiteral("Kunden")) {
            if (rule.sFeld == QStringLiteral("ebayName") || rule.sFeld == QStringLiteral("Email"))
                apply(rule, contactField(r.oKunde, rule.sFeld), text, false);
        } else if (rule.sTabelle == QStringLiteral("Lieferanten")) {
            if (rule.sFeld == QStringLiteral("ebayName") || rule.sFeld == QStringLiteral("Email"))
                apply(rule, contactField(r.oLieferant, rule.sFeld), text, false);
        } else if (rule.sTabelle == QStringLiteral("Auktionen")) {
            const AuctionTarget t = auctionField(r.oAuktion, rule.sFeld, true);
            apply(rule, t.field, text, t.removeEur);
        }
    }
    if (r.oKunde.ebayName == gsEbayName) {
        subZeigeVerkaeufer(r);
        subZeigeAuktion(r);
    } else if (r.oLieferant.ebayName == gsEbayName) {
        subZeigeKaeufer(r);
        subZeigeAuktion(r);
    } else {
        r.clear();
        return QStringLiteral("Die Email kann nicht verarbeitet werden.") + QLatin1Char('\r') +
               QStringLiteral("Es ist kein Verkäufer-/Käufer-Name in der Email enthalten!");
    }
    return QString();
}

ParseResult parseMail(ImportRecords& r, const QString& text) {
    CALLSTACK_IMPORT();
    r.oAuktion.EmailText = text;
    r.clear();
    ParseResult p;
    p.kind = recogniseMail(text);
    switch (p.kind) {
        case MailKind::Kauf: p.message = subEinlesenKauf(r); break;
        case MailKind::Verkauf: p.message = subEinlesenVerkauf(r); break;
        case MailKind::Sofortkauf: p.message = subEinlesenSofortkauf(r); break;
        case MailKind::Keine: p.message = QStringLiteral("Die Zwischenablage enthält keine ebay Email"); break;
    }
    return p;
}

}  // namespace gd
