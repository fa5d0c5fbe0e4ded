#include "domain/trade/CsvExport.h"

#include <cstring>
#include <vector>

#include "base/SafeWrite.h"
#include "domain/db/Database.h"
#include "domain/db/Records.h"

namespace gd {
namespace {

const char* const kAuctionColumns[] = {"AuktionsID",
                                       "AuktionsNr",
                                       "Titel",
                                       "EndeDatum",
                                       "Status",
                                       "GruppenID",
                                       "KundenNr",
                                       "Preis",
                                       "Menge",
                                       "Betrag",
                                       "Versandkosten",
                                       "Versandversicherung",
                                       "Hinweise",
                                       "Versandinfos",
                                       "Zahlungshinweise",
                                       "Bemerkungen",
                                       "Mitteilungen",
                                       "Bezahlung",
                                       "ebayName",
                                       "Antwort",
                                       "AntwortDatum",
                                       "Bestätigung",
                                       "BestätigungDatum",
                                       "Bezahlt",
                                       "BezahltDatum",
                                       "Versendet",
                                       "VersendetDatum",
                                       "Bewertet",
                                       "BewertetDatum",
                                       "Bewerungabgegeben",
                                       "BewerungabgegebenDatum",
                                       "Abgeschlossen",
                                       "AbgeschlossenDatum",
                                       "EmailText"};
const char* const kContactColumns[] = {"KundenNr", "Name",     "Strasse", "Ort",      "Land",
                                       "Email",    "ebayName", "Kunde",   "Lieferant"};

bool isFlagColumn(const QString& lower) {
    for (const Milestone& m : kMilestoneTable)
        if (lower == QString::fromUtf8(m.flagColumn).toLower()) return true;
    return lower == QStringLiteral("kunde") || lower == QStringLiteral("lieferant");
}

// A field as UTF-8 between quotes, inner quotes doubled; the stretches between quotes are
// copied whole (a mail text runs to kilobytes).
void appendQuoted(QByteArray& out, const char* text, int len) {
    out += '"';
    const char* end = text + len;
    for (const char* p = text; p < end;) {
        const auto* quote = static_cast<const char*>(std::memchr(p, '"', std::size_t(end - p)));
        if (!quote) {
            out.append(p, end - p);
            break;
        }
        out.append(p, quote - p + 1);
        out += '"';
        p = quote + 1;
    }
    out += '"';
}
void appendQuoted(QByteArray& out, const QByteArray& s) { appendQuoted(out, s.constData(), int(s.size())); }

enum class Kind { Text, Date, Flag };

// "-24,50", "+3", "1.234,56": a number a spreadsheet reads as one.
bool isNumber(const char* t, int len) {
    int i = (len > 0 && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    bool digit = false, separatorLast = false;
    for (; i < len; ++i) {
        if (t[i] >= '0' && t[i] <= '9') {
            digit = true;
            separatorLast = false;
        } else if ((t[i] == ',' || t[i] == '.') && digit && !separatorLast) {
            separatorLast = true;
        } else {
            return false;
        }
    }
    return digit && !separatorLast;
}

// Text from pasted emails: a leading "=", "+", "-", "@", tab or CR would make a
// spreadsheet run it as a formula, so such a field starts with an apostrophe.
void appendText(QByteArray& out, const char* t, int len) {
    if (len > 0 && std::strchr("=+-@\t\r", t[0]) != nullptr && t[0] != '\0' && !isNumber(t, len)) {
        QByteArray guarded("'");
        guarded.append(t, len);
        appendQuoted(out, guarded);
        return;
    }
    appendQuoted(out, t, len);
}

// The sink said stop: the disk is full, and the caller knows why.
struct SinkStopped {};

void exportRows(const Store& store, const ListChoice& choice, const ByteSink& sink, int* rows) {
    const QString where = listFilterWhere(choice);
    Database db = store.open();
    QStringList columns, header;
    for (const char* c : kAuctionColumns) {
        columns << QStringLiteral("auktionen.") + QString::fromUtf8(c).toLower();
        header << QString::fromUtf8(c);
    }
    for (const char* c : kContactColumns) {
        columns << QStringLiteral("kunden.") + QString::fromUtf8(c).toLower();
        header << QStringLiteral("Kunde_") + QString::fromUtf8(c);
    }
    QByteArray out("\xEF\xBB\xBF");
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (i) out += ';';
        appendQuoted(out, header[i].toUtf8());
    }
    out += "\r\n";
    const auto hand = [&] {
        if (!sink(out)) throw SinkStopped{};
        out.clear();
    };
    hand();
    QStringList names;
    std::vector<int> fields;
    std::vector<Kind> kinds;
    int n = 0;
    // Streamed: the whole email texts of 10,000 auctions are never held twice.
    db.forEachRow(QStringLiteral("select Kunden.*, Auktionen.* from Kunden,Auktionen where ") + where +
                      QStringLiteral(" and Kunden.ebayname = Auktionen.ebayname and Auktionen.Standarduser = ? and "
                                     "Kunden.Standarduser = ? order by Auktionen.EndeDatum DESC"),
                  {store.user, store.user}, names, [&](const DbRow& st) {
                      if (fields.empty())
                          for (const QString& c : columns) {
                              const qsizetype at = names.indexOf(c);
                              if (at < 0) throw DbError(3265, QStringLiteral("Spalte %1 fehlt.").arg(c));
                              fields.push_back(int(at));
                              const QString bare = c.mid(c.indexOf(QLatin1Char('.')) + 1);
                              kinds.push_back(bare.endsWith(QStringLiteral("datum")) ? Kind::Date
                                              : isFlagColumn(bare)                   ? Kind::Flag
                                                                                     : Kind::Text);
                          }
                      for (std::size_t i = 0; i < fields.size(); ++i) {
                          if (i) out += ';';
                          const char* t = st.cstr(fields[i]);
                          const int len = st.bytes(fields[i]);
                          switch (kinds[i]) {
                              case Kind::Date: {
                                  // "yyyy-MM-dd ..." to "dd.MM.yyyy"; the zero date stays empty
                                  const QByteArray d(t ? t : "", len);
                                  appendQuoted(out, d.size() < 10 || d.startsWith("1899-12-30")
                                                        ? QByteArray()
                                                        : d.mid(8, 2) + '.' + d.mid(5, 2) + '.' + d.left(4));
                                  break;
                              }
                              case Kind::Flag:
                                  appendQuoted(out, st.int64(fields[i]) ? QByteArray("Ja") : QByteArray("Nein"));
                                  break;
                              case Kind::Text:
                                  appendText(out, t ? t : "", t ? len : 0);
                                  break;
                          }
                      }
                      out += "\r\n";
                      hand();
                      ++n;
                  });
    if (rows) *rows = n;
}

}  // namespace

Status exportCsv(const Store& store, const ListChoice& choice, const ByteSink& sink, int* rows) {
    try {
        exportRows(store, choice, sink, rows);
    } catch (const SinkStopped&) {
        return {};  // the sink's owner knows why
    } catch (const RunError& e) {
        return Error::from(QStringLiteral("Beim Laden der Auktionsdaten ist ein Fehler aufgetreten:"), e);
    }
    return {};
}

Result<QByteArray> exportCsv(const Store& store, const ListChoice& choice, int* rows) {
    QByteArray all;
    const Status done = exportCsv(
        store, choice,
        [&](const QByteArray& piece) {
            all += piece;
            return true;
        },
        rows);
    if (!done.ok()) return done.error();
    return all;
}

}  // namespace gd
