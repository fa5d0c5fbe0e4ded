#include "domain/import/Parser.h"

#include <algorithm>

#include "base/CallStack.h"
#include "base/Clock.h"
#include "domain/import/Extract.h"
#include "domain/settings/Keywords.h"
#include "domain/trade/TaxData.h"

#define CALLSTACK_IMPORT() CALLSTACK()

namespace gd {
namespace {

QString* contactField(tKunde& k, const QString& feld) {
    if (feld == QStringLiteral("ebayName")) return &k.ebayName;
    if (feld == QStringLiteral("Email")) return &k.Email;
    if (feld == QStringLiteral("Name")) return &k.Name;
    if (feld == QStringLiteral("Strasse")) return &k.Strasse;
    if (feld == QStringLiteral("Ort")) return &k.Ort;
    if (feld == QStringLiteral("Land")) return &k.Land;
    if (feld == QStringLiteral("Firma")) return &k.Firma;
    if (feld == QStringLiteral("UStIdNr")) return &k.UStIdNr;
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

QString ruleText(const tFeld& f) {
    return f.sKey + QLatin1Char('/') + f.sEnde + QLatin1Char('=') + f.sTabelle + QLatin1Char('/') + f.sFeld;
}

// Applies a section's rows and notes for each what it did.
class Cutter {
public:
    Cutter(ImportRecords& r, const std::vector<tFeld>& rules) : hits_(r.hits) {
        hits_.assign(rules.size(), RuleHit());
        for (std::size_t i = 0; i < rules.size(); ++i) {
            hits_[i].rule = ruleText(rules[i]);
            hits_[i].target = rules[i].sTabelle + QLatin1Char('/') + rules[i].sFeld;
        }
    }
    // The first rule that yields a value wins; later ones only fill what is still empty.
    void apply(std::size_t row, const tFeld& rule, QString* target, const QString& source, bool removeEur) {
        RuleHit& hit = hits_[row];
        if (!target) {
            hit.outcome = RuleHit::Outcome::NotUsed;
            return;
        }
        if (!target->isEmpty()) {
            hit.outcome = RuleHit::Outcome::AlreadyFilled;
            hit.value = *target;
            return;
        }
        *target = funGetData(source, rule.sKey, rule.sEnde);
        if (removeEur) target->remove(QStringLiteral("EUR"), Qt::CaseSensitive);
        hit.outcome = target->isEmpty() ? RuleHit::Outcome::Nothing : RuleHit::Outcome::Found;
        hit.value = *target;
    }

private:
    std::vector<RuleHit>& hits_;
};

// What the fields' change handlers store: the text without outer blanks.
void bindContact(tKunde& k) {
    for (QString* f : {&k.Name, &k.ebayName, &k.Email, &k.Strasse, &k.Ort, &k.Land, &k.Firma, &k.UStIdNr})
        *f = f->trimmed();
}

}  // namespace

QString partnerCaption(PartnerKind k) {
    return k == PartnerKind::Verkaeufer ? QStringLiteral("Verkäuferdaten") : QStringLiteral("Käufer- / Verkäuferdaten");
}

namespace {

void subZeigeVerkaeufer(ImportRecords& r) {
    CALLSTACK_IMPORT();
    r.partnerKind = PartnerKind::Verkaeufer;
    bindContact(r.oLieferant);
}

void subZeigeKaeufer(ImportRecords& r) {
    CALLSTACK_IMPORT();
    r.partnerKind = PartnerKind::Neutral;
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

void parseKaufOrVerkauf(ImportRecords& r, const std::vector<tFeld>& table, bool kauf) {
    const QString partnerTable = kauf ? QStringLiteral("Lieferanten") : QStringLiteral("Kunden");
    tKunde& partner = kauf ? r.oLieferant : r.oKunde;
    const QString& text = r.oAuktion.EmailText;
    Cutter cut(r, table);
    for (std::size_t row = 0; row < table.size(); ++row) {
        const tFeld& rule = table[row];
        if (rule.sTabelle == partnerTable) {
            cut.apply(row, rule, contactField(partner, rule.sFeld), text, false);
        } else if (rule.sTabelle == QStringLiteral("Auktionen")) {
            const AuctionTarget t = auctionField(r.oAuktion, rule.sFeld, false);
            cut.apply(row, rule, t.field, text, t.removeEur);
        } else {
            cut.apply(row, rule, nullptr, text, false);
        }
    }
    if (kauf)
        subZeigeVerkaeufer(r);
    else
        subZeigeKaeufer(r);
    subZeigeAuktion(r);
}

QString parseSofortkauf(ImportRecords& r, const std::vector<tFeld>& table, const std::array<QString, 5>& verk,
                        const std::array<QString, 5>& kaeu, const QString& member) {
    const QString& text = r.oAuktion.EmailText;
    QString sellerBlock = funGetData(text, verk[1], verk[2]);
    if (sellerBlock.isEmpty()) sellerBlock = funGetData(text, verk[3], verk[4]);
    QString buyerBlock = funGetData(text, kaeu[1], kaeu[2]);
    if (buyerBlock.isEmpty()) buyerBlock = funGetData(text, kaeu[3], kaeu[4]);

    Cutter cut(r, table);
    const auto isName = [](const tFeld& rule) {
        return rule.sFeld == QStringLiteral("ebayName") || rule.sFeld == QStringLiteral("Email");
    };
    for (std::size_t row = 0; row < table.size(); ++row) {
        const tFeld& rule = table[row];
        if (rule.sTabelle == QStringLiteral("xxx")) {
            if (r.oLieferant.ebayName != member && r.oKunde.ebayName != member) {
                r.clear();
                return QStringLiteral("Die Email kann nicht verarbeitet werden.") + QLatin1Char('\r') +
                       QStringLiteral(
                           "Verkäufer- und Käufer-Name aus der Email stimmen nicht mit dem eingestellten "
                           "ebay-Namen überein!");
            }
            if (r.oLieferant.ebayName != member)
                cut.apply(row, rule, addressField(r.oLieferant, rule.sFeld), sellerBlock, false);  // the user bought
            else
                cut.apply(row, rule, addressField(r.oKunde, rule.sFeld), buyerBlock, false);  // the user sold
        } else if (rule.sTabelle == QStringLiteral("Kunden")) {
            cut.apply(row, rule, isName(rule) ? contactField(r.oKunde, rule.sFeld) : nullptr, text, false);
        } else if (rule.sTabelle == QStringLiteral("Lieferanten")) {
            cut.apply(row, rule, isName(rule) ? contactField(r.oLieferant, rule.sFeld) : nullptr, text, false);
        } else if (rule.sTabelle == QStringLiteral("Auktionen")) {
            const AuctionTarget t = auctionField(r.oAuktion, rule.sFeld, true);
            cut.apply(row, rule, t.field, text, t.removeEur);
        } else {
            cut.apply(row, rule, nullptr, text, false);
        }
    }
    if (r.oKunde.ebayName == member) {
        subZeigeVerkaeufer(r);
        subZeigeAuktion(r);
    } else if (r.oLieferant.ebayName == member) {
        subZeigeKaeufer(r);
        subZeigeAuktion(r);
    } else {
        r.clear();
        return QStringLiteral("Die Email kann nicht verarbeitet werden.") + QLatin1Char('\r') +
               QStringLiteral("Es ist kein Verkäufer-/Käufer-Name in der Email enthalten!");
    }
    return QString();
}

MailKind kindOf(SectionKind k) {
    switch (k) {
        case SectionKind::Kauf:
            return MailKind::Kauf;
        case SectionKind::Verkauf:
            return MailKind::Verkauf;
        case SectionKind::Sofortkauf:
            break;
    }
    return MailKind::Sofortkauf;
}

bool hasOwnRecognition(const ParserRules& rules, SectionKind kind) {
    return std::any_of(rules.sections.begin(), rules.sections.end(),
                       [kind](const KeywordSection& k) { return !k.extra && k.kind == kind && !k.erkennung.empty(); });
}

}  // namespace

QString mailKindName(MailKind k) {
    switch (k) {
        case MailKind::Kauf:
            return QStringLiteral("Kauf");
        case MailKind::Verkauf:
            return QStringLiteral("Verkauf");
        case MailKind::Sofortkauf:
            return QStringLiteral("Sofortkauf");
        case MailKind::Keine:
            break;
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
    // One pass: replacing "\n" by "\r\n" in place moves the rest of the text at every line.
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (u == u'\r' || u == u'\n') {
            if (u == u'\r' && p + 1 < end && p[1].unicode() == u'\n') ++p;
            out += QLatin1String("\r\n");
            continue;
        }
        // Control characters (NUL, bell, escape sequences) mean nothing in a mail and
        // must not reach fields or the database.
        if ((u < 0x20 && u != u'\t') || u == 0x7F) continue;
        out += *p;
    }
    return out;
}

namespace {
// Phrases broken over lines are found: the test copy has no line breaks.
QString testCopy(const QString& text) {
    QString test = text;
    test.remove(QStringLiteral("\r\n")).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return test;
}

bool allIn(const QString& test, const QStringList& phrases) {
    return std::all_of(phrases.begin(), phrases.end(),
                       [&test](const QString& p) { return test.contains(p, Qt::CaseSensitive); });
}
}  // namespace

std::vector<RecognitionLine> recognitionLines(const ParserRules& rules, const QString& text) {
    const QString test = testCopy(text);
    std::vector<RecognitionLine> lines;
    for (const KeywordSection& k : rules.sections)
        for (const QStringList& phrases : k.erkennung) {
            RecognitionLine l{k.name, phrases, {}};
            for (const QString& p : phrases)
                if (!test.contains(p, Qt::CaseSensitive)) l.missing << p;
            lines.push_back(l);
        }
    return lines;
}

Recognition recognise(const ParserRules& rules, const QString& text) {
    CALLSTACK_IMPORT();
    const QString test = testCopy(text);
    Recognition found;
    for (std::size_t i = 0; i < rules.sections.size(); ++i) {
        for (const QStringList& line : rules.sections[i].erkennung) {
            if (!allIn(test, line)) continue;
            found.kind = kindOf(rules.sections[i].kind);
            found.section = int(i);
            found.how = QStringLiteral("#Erkennung#=") + line.join(QLatin1Char('/'));
            return found;
        }
    }
    // Built in: for a keyword file without recognition lines everything stays as it was.
    static const std::pair<SectionKind, QStringList> fixed[] = {
        {SectionKind::Kauf, {QStringLiteral("Sie haben am")}},
        {SectionKind::Kauf, {QStringLiteral("Kontaktinformationen des Verkäufers:")}},
        {SectionKind::Kauf, {QStringLiteral("Kontaktinformationen des Verkaeufers:")}},
        {SectionKind::Verkauf, {QStringLiteral("Kontaktinformationen des Käufers:")}},
        {SectionKind::Verkauf, {QStringLiteral("Kontaktinformationen des Kaeufers:")}},
        {SectionKind::Verkauf, {QStringLiteral("den folgenden Artikel über eBay"), QStringLiteral("hat am")}},
        {SectionKind::Sofortkauf, {QStringLiteral("Sofort-Kaufen")}},
    };
    for (const auto& [kind, phrases] : fixed) {
        if (hasOwnRecognition(rules, kind) || !allIn(test, phrases)) continue;
        found.kind = kindOf(kind);
        found.how = QStringLiteral("eingebaut: \u201E") + phrases.join(QStringLiteral("\u201C und \u201E")) +
                    QStringLiteral("\u201C");
        return found;
    }
    return found;
}

MailKind recogniseMail(const ParserRules& rules, const QString& text) { return recognise(rules, text).kind; }

QString subEinlesenKauf(const ParserRules& rules, ImportRecords& r) {
    CALLSTACK_IMPORT();
    parseKaufOrVerkauf(r, rules.kauf, true);
    return QString();
}

QString subEinlesenVerkauf(const ParserRules& rules, ImportRecords& r) {
    CALLSTACK_IMPORT();
    parseKaufOrVerkauf(r, rules.verkauf, false);
    return QString();
}

QString subEinlesenSofortkauf(const ParserRules& rules, ImportRecords& r) {
    CALLSTACK_IMPORT();
    return parseSofortkauf(r, rules.sofortkauf, rules.verkaeuferdaten, rules.kaeuferdaten, rules.member);
}

ParseResult parseMail(const ParserRules& rules, ImportRecords& r, const QString& text) {
    CALLSTACK_IMPORT();
    r.oAuktion.EmailText = text;
    r.clear();
    r.hits.clear();
    const Recognition rec = recognise(rules, text);
    const KeywordSection* extra = rec.section >= 0 && rules.sections[std::size_t(rec.section)].extra
                                      ? &rules.sections[std::size_t(rec.section)]
                                      : nullptr;
    r.erkennung = rec.how;
    r.sektion = extra ? extra->name : mailKindName(rec.kind);
    r.plattform = platformOfSection(r.sektion, rules.platform);
    ParseResult p;
    p.kind = rec.kind;
    switch (p.kind) {
        case MailKind::Kauf:
            if (extra)
                parseKaufOrVerkauf(r, extra->rules, true);
            else
                p.message = subEinlesenKauf(rules, r);
            break;
        case MailKind::Verkauf:
            if (extra)
                parseKaufOrVerkauf(r, extra->rules, false);
            else
                p.message = subEinlesenVerkauf(rules, r);
            break;
        case MailKind::Sofortkauf:
            p.message =
                extra ? parseSofortkauf(r, extra->rules, extra->verkaeuferdaten, extra->kaeuferdaten, rules.member)
                      : subEinlesenSofortkauf(rules, r);
            break;
        case MailKind::Keine:
            p.message = QStringLiteral("Die Zwischenablage enthält keine ebay Email");
            break;
    }
    return p;
}

}  // namespace gd
