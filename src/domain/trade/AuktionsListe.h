#pragma once
// The auction list of the main window: the owner's auctions joined with their
// partner, for one filter, newest end date first.

#include <QList>
#include <QString>
#include <functional>

#include "base/Result.h"
#include "base/SafeWrite.h"
#include "domain/db/Store.h"

namespace gd {

// Ueberfaellig: sales without "Bezahlt" whose end lies more than the reminder days back, oldest first.
// Versandbereit: sales paid and not yet sent, the parcels of the day.
enum class ListFilter { Verkauf = 0, Einkauf = 1, Alle = 2, Abgeschlossen = 3, Ueberfaellig = 4, Versandbereit = 5 };

// What a list shows: its filter, and the days after its end from which an unpaid sale is
// overdue ([Main] MahnTage). A filter alone takes the program's default of 7 days.
struct ListChoice {
    ListFilter filter = ListFilter::Alle;
    int mahnTage = 7;
    ListChoice(ListFilter f = ListFilter::Alle, int days = 7) : filter(f), mahnTage(days) {}
};

struct ListRow {
    QString ebayName;  // Kunden.ebayName
    QString Name;
    QString Titel;
    QString EndeDatum;  // as text, "04.12.2026 20:15:33"
    QString Status;
    QString AuktionsNr;
    QString GruppenID;
    QString AuktionsID;
    QString Betrag;           // the total the buyer pays, as stored
    int Tage = -1;            // days overdue, in the list of overdue sales
    quint8 Meilensteine = 0;  // bit i: milestone i reached (0 answered … 6 closed)
    int Mahnstufe = 0;        // the last payment reminder sent, in the list of overdue sales
};

// What the status bar tells of the open trades: all of them, the sales not paid,
// and those of them overdue, with the totals asked.
struct ListSummary {
    int Offen = 0, Unbezahlt = 0, Ueberfaellig = 0;
    qint64 UnbezahltSumme = 0, UeberfaelligSumme = 0;  // cents
    // Returns not yet settled: those whose receipt is not confirmed, and those past the refund's day.
    int Rueckgaben = 0, RueckgabenUnbestaetigt = 0, RueckgabenUeberfaellig = 0;
};
Result<ListSummary> loadListSummary(const Store& store, int mahnTage);

// The filter's part of the where clause of the join of Kunden and Auktionen.
QString listFilterWhere(const ListChoice& choice);

// Row by row, for a list too long to hold (the command line's). The first `limit` rows only
// when limit >= 0: the screenful a window shows at once.
// The whole list of open trades (Alle) also gives the status bar's figures into `summary`.
Status forEachListRow(const Store& store, const ListChoice& choice, const std::function<void(ListRow&)>& take,
                      int limit = -1, ListSummary* summary = nullptr);
// The filter's list as tab-separated UTF-8 lines with a heading, straight from the file's bytes
// into the sink (the command line's --list); the overdue list adds days and the last reminder.
Status writeListTsv(const Store& store, const ListChoice& choice, const ByteSink& sink);
// The first `limit` rows only when limit >= 0: the screenful a window shows at once.
Result<QList<ListRow>> loadAuktionsListe(const Store& store, const ListChoice& choice, int limit = -1);

// Trades of every state, closed ones included, that contain every word typed
// (at a word's start; letter case and umlaut spelling do not count), newest first.
Result<QList<ListRow>> searchAuktionsListe(const Store& store, const QString& typed, int limit = -1);

}  // namespace gd
