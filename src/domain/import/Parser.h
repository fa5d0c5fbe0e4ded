#pragma once
// Recognition of a pasted notification email and the three parses that fill
// buyer, seller and auction from the keyword rules. No widgets: the dialog and
// the command line both show what ImportRecords holds afterwards.

#include <QString>
#include <QStringList>
#include <vector>

#include "domain/db/Records.h"
#include "domain/settings/Keywords.h"

namespace gd {

enum class MailKind { Keine, Kauf, Verkauf, Sofortkauf };
QString mailKindName(MailKind k);  // "Kauf", "Verkauf", "Sofortkauf", ""

// Which party the contact fields of an import show: the seller (a purchase), or
// the buyer or either (the frame stays neutral).
enum class PartnerKind { Neutral, Verkaeufer };
// The frame caption of the kind: "Käufer- / Verkäuferdaten", "Verkäuferdaten".
QString partnerCaption(PartnerKind k);

// What one rule row of the chosen section did, for the rule tester.
struct RuleHit {
    enum class Outcome { NotReached, Found, Nothing, AlreadyFilled, NotUsed };
    QString rule;    // the row as the keyword file writes it
    QString target;  // "Auktionen/Preis"
    Outcome outcome = Outcome::NotReached;
    QString value;
};

// The three records of one import and what the fields show.
struct ImportRecords {
    tKunde oKunde;      // the buyer
    tKunde oLieferant;  // the seller
    tAuktion oAuktion;
    PartnerKind partnerKind = PartnerKind::Neutral;
    bool shown = false;       // a parse ended in its display step
    bool acceptable = false;  // the accept button: an item number was found
    bool sellerShown() const { return partnerKind == PartnerKind::Verkaeufer; }
    QString caption() const { return partnerCaption(partnerKind); }
    tKunde& partner() { return sellerShown() ? oLieferant : oKunde; }
    // How the mail was read: the section whose rules cut it, what recognised it, and
    // each of the section's rows in file order.
    QString sektion;
    QString plattform;  // where the mail came from: the main platform, or a further section's
    QString erkennung;
    std::vector<RuleHit> hits;
    void clear();  // "Felder Löschen": every field empty, flags false, not acceptable
};

// Clipboard and file texts to CR LF line ends, control characters removed: the import
// rules are written for such texts and must cut the same pieces from any source.
QString normalizeMailText(const QString& text);

MailKind recogniseMail(const ParserRules& rules, const QString& text);

struct Recognition {
    MailKind kind = MailKind::Keine;
    int section = -1;  // in the rules' sections when a recognition line decided
    QString how;       // the line or the built-in phrase that decided
};
// The sections' recognition lines in file order; the built-in phrases for the three
// sections without such lines, in the order Kauf, Verkauf, Sofortkauf.
Recognition recognise(const ParserRules& rules, const QString& text);

// Each recognition line of the keyword file with the phrases the text lacks, for
// mending the file when a mail is not recognised.
struct RecognitionLine {
    QString section;
    QStringList phrases;
    QStringList missing;
};
std::vector<RecognitionLine> recognitionLines(const ParserRules& rules, const QString& text);

// Each gives back the message the dialog shows after it, or an empty text.
QString subEinlesenKauf(const ParserRules& rules, ImportRecords& r);
QString subEinlesenVerkauf(const ParserRules& rules, ImportRecords& r);
QString subEinlesenSofortkauf(const ParserRules& rules, ImportRecords& r);

struct ParseResult {
    MailKind kind = MailKind::Keine;
    QString message;  // a refusal the dialog shows (no icon, no title), or empty
};

// The read step after the clipboard text was taken: records cleared, EmailText
// set, the kind recognised and parsed.
ParseResult parseMail(const ParserRules& rules, ImportRecords& r, const QString& text);

}  // namespace gd
