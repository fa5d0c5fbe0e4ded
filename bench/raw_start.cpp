// The yardstick for the start: the tightest program that opens the file with the
// cipher library's C API, reads the list's columns and paints them in a table.
#include <QAbstractTableModel>
#include <QApplication>
#include <QTableView>
#include <QTimer>
#include <array>
#include <vector>

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace {

using Row = std::array<QString, 10>;

class Model final : public QAbstractTableModel {
public:
    std::vector<Row> rows;
    int rowCount(const QModelIndex&) const override { return int(rows.size()); }
    int columnCount(const QModelIndex&) const override { return 10; }
    QVariant data(const QModelIndex& i, int role) const override {
        return role == Qt::DisplayRole ? QVariant(rows[std::size_t(i.row())][std::size_t(i.column())]) : QVariant();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    Model model;
    sqlite3* db = nullptr;
    sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA key='kaltwind';", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        db,
        "select Kunden.ebayName, Kunden.Name, Auktionen.Titel, Auktionen.EndeDatum, Auktionen.Status, "
        "Auktionen.AuktionsNr, Auktionen.GruppenID, Auktionen.AuktionsID, Auktionen.Betrag, "
        "(Auktionen.Antwort <> 0) + 2 * (Auktionen.\"Bestätigung\" <> 0) + 4 * (Auktionen.Bezahlt <> 0) + "
        "8 * (Auktionen.Versendet <> 0) + 16 * (Auktionen.Bewertet <> 0) + "
        "32 * (Auktionen.Bewerungabgegeben <> 0) + 64 * (Auktionen.Abgeschlossen <> 0) "
        "from Auktionen cross join Kunden where Auktionen.Abgeschlossen = 0 and "
        "Kunden.ebayname = Auktionen.ebayname and Auktionen.Standarduser = 'haendler' and "
        "Kunden.Standarduser = 'haendler' order by Auktionen.EndeDatum DESC",
        -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        Row r;
        for (int c = 0; c < 10; ++c)
            r[std::size_t(c)] = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                  sqlite3_column_bytes(st, c));
        model.rows.push_back(std::move(r));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 700);
    view.show();
    view.viewport()->repaint();
    QTimer::singleShot(0, &app, &QApplication::quit);
    const int rc = QApplication::exec();
    return model.rows.empty() ? 1 : rc;
}
