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

// Rows in file order, the order of trial.
inline std::vector<tFeld> gaSofortkauf;
inline std::vector<tFeld> gaKauf;
inline std::vector<tFeld> gaVerkauf;
// Elements 1 to 4 (0 unused): two alternative start/end pairs around a data block.
inline std::array<QString, 5> gsVerkaeuferdaten;
inline std::array<QString, 5> gsKaeuferdaten;

// Loads the three sections of gsKeywordIni; a section that yields nothing keeps
// its table. Gives back "Fehler beim Lesen von: …" for each faulty line (at most 10).
QStringList subGetFelder();

}  // namespace gd
