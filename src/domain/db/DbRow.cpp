#include <QUrl>
#include <QUrlQuery>
#include <cstdlib>

#include "base/modFunktions.h"
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

QDateTime DbRow::date(int i) const { return fromDbDate(value(i)); }

QString toDbDate(const QDateTime& d) {
    if (!d.isValid()) return QStringLiteral("1899-12-30 00:00:00");
    return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString dbDateToText(const QVariant& v) {
    const QString t = v.toString();
    if (v.isNull() || t.size() != 19 || t[4] != QLatin1Char('-') || t[7] != QLatin1Char('-') ||
        t[10] != QLatin1Char(' '))
        return dateToText(fromDbDate(v));
    const QStringView time = QStringView(t).mid(11);
    const bool midnight = time == u"00:00:00";
    if (QStringView(t).left(10) == u"1899-12-30") return midnight ? QStringLiteral("00:00:00") : time.toString();
    QString out;
    out.reserve(19);
    out.append(QStringView(t).mid(8, 2)).append(QLatin1Char('.')).append(QStringView(t).mid(5, 2));
    out.append(QLatin1Char('.')).append(QStringView(t).left(4));
    if (!midnight) out.append(QLatin1Char(' ')).append(time);
    return out;
}

QDateTime fromDbDate(const QVariant& v) {
    if (v.isNull()) return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    const QString t = v.toString();
    // "yyyy-MM-dd HH:mm:ss" by hand: the list reads thousands of them.
    const auto num = [&t](int from, int len, bool& ok) {
        int n = 0;
        for (int i = from; i < from + len; ++i) {
            const QChar c = t[i];
            if (!c.isDigit()) ok = false;
            n = n * 10 + c.digitValue();
        }
        return n;
    };
    if (t.size() == 19 && t[4] == QLatin1Char('-') && t[7] == QLatin1Char('-') && t[13] == QLatin1Char(':') &&
        t[16] == QLatin1Char(':')) {
        bool ok = true;
        const QDate date(num(0, 4, ok), num(5, 2, ok), num(8, 2, ok));
        const QTime time(num(11, 2, ok), num(14, 2, ok), num(17, 2, ok));
        if (ok && date.isValid() && time.isValid()) return QDateTime(date, time);
    }
    QDateTime d = QDateTime::fromString(t, Qt::ISODate);
    if (!d.isValid()) throw DbError(13, QStringLiteral("Typen unverträglich"));
    return d;
}

}  // namespace gd
