#pragma once
// The parser's rules from the keyword file.

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace gd {

struct tFeld {
    QString sKey;      // start marker: the value begins right after it
    QString sEnde;     // end marker; empty means the end of the line
    QString sTabelle;  // "Kunden", "Lieferanten", "Auktionen" or "xxx"
    QString sFeld;
};

enum class SectionKind { Sofortkauf, Kauf, Verkauf };

// A section of rules for one kind of mail: one of the three above, or a further one
// for another platform's mails, named by its kind, a blank and any name
// ("[Verkauf Kiezmarkt]"). "#Erkennung#=phrase/phrase…" lines say which mails it reads:
// all phrases of one line must occur, any line may match.
struct KeywordSection {
    QString name;
    SectionKind kind = SectionKind::Kauf;
    bool extra = false;                      // a further section: its rules and markers are here
    std::vector<tFeld> rules;                // extra sections only; the three use the tables above
    std::array<QString, 5> verkaeuferdaten;  // extra Sofortkauf sections only
    std::array<QString, 5> kaeuferdaten;
    std::vector<QStringList> erkennung;  // the phrases of each recognition line
};
// What a mail is read by: the keyword file's rules, and the member name that tells which side
// of a trade the user is on.
struct ParserRules {
    // Rows in file order, the order of trial.
    std::vector<tFeld> sofortkauf, kauf, verkauf;
    // Elements 1 to 4 (0 unused): two alternative start/end pairs around a data block.
    std::array<QString, 5> verkaeuferdaten, kaeuferdaten;
    // Every section of rules in file order, rebuilt by each load.
    std::vector<KeywordSection> sections;
    QString member;
    QString platform;  // of the mails the three base sections read
};

// The keyword file's rules in force: held once, renewed by subGetFelder (member stays empty).
inline ParserRules gRules;
// The rules in force with the member name of the settings in force.
ParserRules rulesInForce();

// Loads the three sections of gsKeywordIni; a section that yields nothing keeps
// its table. Gives back "Fehler beim Lesen von: …" for each faulty line (at most 10).
QStringList subGetFelder();

}  // namespace gd
