#pragma once
// The one way a database failure reaches a caller: a step runs, and whatever the
// database layer throws comes back as the German error under the step's sentence.
// The sentences the user reads stand together here.

#include <QString>

#include "base/Result.h"
#include "base/RunError.h"

namespace gd {

namespace sentences {
inline const QString kKaeuferSpeichern = QStringLiteral("Beim Speichern der Käuferdaten ist ein Fehler aufgetreten:");
inline const QString kVerkaeuferSpeichern =
    QStringLiteral("Beim Speichern der Verkäuferdaten ist ein Fehler aufgetreten:");
inline const QString kAuktionSpeichern = QStringLiteral("Beim Speichern der Auktionsdaten ist ein Fehler aufgetreten:");
inline const QString kAuktionPruefen = QStringLiteral("Beim Prüfen der Auktionsdaten ist ein Fehler aufgetreten:");
inline const QString kAuktionLaden = QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:");
inline const QString kKundeLaden = QStringLiteral("Beim Laden der Käufer-/Verkäuferdaten ist ein Fehler aufgetreten:");
inline const QString kGruppeLaden = QStringLiteral("Beim Laden der GruppenID ist ein Fehler aufgetreten:");
inline const QString kAuktionenUebernehmen =
    QStringLiteral("Beim Übernehmen der Auktionen ist ein Fehler aufgetreten:");
inline const QString kSendungSpeichern = QStringLiteral("Beim Speichern der Sendungsdaten ist ein Fehler aufgetreten:");
}  // namespace sentences

// Runs step (which gives back a Result or Status) and turns a RunError into its error.
template <class Step>
auto dbStep(const QString& sentence, Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const RunError& e) {
        return Error::from(sentence, e);
    }
}

}  // namespace gd
