#include <QUrl>
#include <QUrlQuery>
#include <cstdlib>

#include "domain/db/Database.h"
#include "domain/db/PgEngine.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

namespace gd {

bool serverPasswordFromKeyring(const QString& source) { return keptPassword(source).has_value(); }

bool isServerAddress(const QString& source) {
    return source.startsWith(QLatin1String("postgresql://")) || source.startsWith(QLatin1String("postgres://"));
}

QString passwordInAddress(const QString& source) {
    if (!isServerAddress(source)) return {};
    const QUrl url(source);
    if (url.password().isEmpty() && !QUrlQuery(url).hasQueryItem(QStringLiteral("password"))) return {};
    return QStringLiteral(
        "Die Serveradresse enthält ein Kennwort. Gaveldesk nimmt keines aus einer Adresse: dort stünde es in der "
        "Prozessliste, in Meldungen und in den Einstellungen. Geben Sie die Adresse ohne Kennwort an und "
        "hinterlegen Sie es unter Einstellungen → Optionen → Datenbank… im Schlüsselbund oder in ~/.pgpass.");
}

QString shownAddress(const QString& source) {
    if (!isServerAddress(source)) return source;
    QUrl url(source);
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString(QUrl::RemovePassword);
}

const char* DbRow::cstr(int i) const {
    if (st_) return reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
    return pgCell(pr_, row_, i);
}

int DbRow::bytes(int i) const { return st_ ? sqlite3_column_bytes(st_, i) : pgCellLength(pr_, row_, i); }

QString DbRow::text(int i) const {
    const char* t = cstr(i);
    return t ? QString::fromUtf8(t, bytes(i)) : QString();
}

qint64 DbRow::int64(int i) const {
    if (st_) return sqlite3_column_int64(st_, i);
    const char* t = pgCell(pr_, row_, i);
    if (!t) return 0;
    if (t[0] == 't') return 1;  // a comparison's truth, which the file gives as a number
    if (t[0] == 'f') return 0;
    return std::strtoll(t, nullptr, 10);
}

}  // namespace gd
