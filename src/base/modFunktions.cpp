#include "base/modFunktions.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>
#include <limits>

#include "base/CallStack.h"
#include "base/RunError.h"

namespace gd {
namespace {

QHash<QString, QString>& imageList() {
    static QHash<QString, QString> list;
    return list;
}

int monthFromName(const QString& name) {
    static const QStringList full = {QStringLiteral("januar"),  QStringLiteral("februar"),  QStringLiteral("märz"),
                                     QStringLiteral("april"),   QStringLiteral("mai"),      QStringLiteral("juni"),
                                     QStringLiteral("juli"),    QStringLiteral("august"),   QStringLiteral("september"),
                                     QStringLiteral("oktober"), QStringLiteral("november"), QStringLiteral("dezember")};
    const QString n = name.toLower();
    for (int i = 0; i < 12; ++i)
        if (full[i] == n || (n.size() >= 3 && full[i].startsWith(n))) return i + 1;
    if (n == QStringLiteral("mrz") || n == QStringLiteral("maerz")) return 3;
    return 0;
}

int fullYear(const QString& y) {
    const int v = y.toInt();
    if (y.size() > 2) return v;
    return v < 30 ? 2000 + v : 1900 + v;  // two-digit years: 00-29 are 20xx, 30-99 are 19xx
}

std::optional<QTime> timeOf(const QString& h, const QString& m, const QString& s) {
    if (h.isEmpty()) return QTime(0, 0);
    const QTime t(h.toInt(), m.toInt(), s.isEmpty() ? 0 : s.toInt());
    if (!t.isValid()) return std::nullopt;
    return t;
}

std::optional<QDateTime> combine(int y, int mo, int d, const std::optional<QTime>& t) {
    const QDate date(y, mo, d);
    if (!date.isValid() || !t) return std::nullopt;
    return QDateTime(date, *t);
}

}  // namespace

const QLocale& germanLocale() {
    static const QLocale de(QLocale::German, QLocale::Germany);
    return de;
}

QDateTime zeroDate() {
    // Every record starts with seven of them; building one looks up the local time zone,
    // so it is built once.
    static const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    return zero;
}
bool isZeroDate(const QDateTime& d) { return !d.isValid() || d == zeroDate(); }

double funCDbl(const QString& Text) {
    CALLSTACK();
    bool ok = false;
    const double v = germanLocale().toDouble(Text.trimmed(), &ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

qint32 funCLng(const QString& Text) {
    CALLSTACK();
    bool ok = false;
    const double v = germanLocale().toDouble(Text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return 0;
    const double r = std::nearbyint(v);  // default rounding mode: half to even
    if (r < double(std::numeric_limits<qint32>::min()) || r > double(std::numeric_limits<qint32>::max())) return 0;
    return qint32(r);
}

std::optional<QDateTime> tryCDate(const QString& Text) {
    const QString t = Text.trimmed();
    static const QString timePart = QStringLiteral(R"((?:[ ,]+(\d{1,2}):(\d{2})(?::(\d{2}))?)?)");
    static const QRegularExpression dotted(QStringLiteral(R"(^(\d{1,2})\.(\d{1,2})\.(\d{4}|\d{2}))") + timePart +
                                           QStringLiteral("$"));
    static const QRegularExpression iso(
        QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression named(QStringLiteral(R"(^(\d{1,2})\.?\s+([A-Za-zäÄ]+)\.?\s+(\d{4}|\d{2}))") +
                                          timePart + QStringLiteral("$"));
    static const QRegularExpression timeOnly(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));

    if (auto m = dotted.match(t); m.hasMatch())
        return combine(fullYear(m.captured(3)), m.captured(2).toInt(), m.captured(1).toInt(),
                       timeOf(m.captured(4), m.captured(5), m.captured(6)));
    if (auto m = iso.match(t); m.hasMatch())
        return combine(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                       timeOf(m.captured(4), m.captured(5), m.captured(6)));
    if (auto m = named.match(t); m.hasMatch()) {
        const int mo = monthFromName(m.captured(2));
        if (mo == 0) return std::nullopt;
        return combine(fullYear(m.captured(3)), mo, m.captured(1).toInt(),
                       timeOf(m.captured(4), m.captured(5), m.captured(6)));
    }
    if (auto m = timeOnly.match(t); m.hasMatch()) {
        const auto tm = timeOf(m.captured(1), m.captured(2), m.captured(3));
        if (!tm) return std::nullopt;
        return QDateTime(zeroDate().date(), *tm);
    }
    return std::nullopt;
}

QDateTime funCDate(const QString& Text) {
    CALLSTACK();
    if (auto d = tryCDate(Text)) return *d;
    throw errors::typeMismatch();
}

QString dateToText(const QDateTime& d) {
    if (!d.isValid()) return QString();
    // Formatted by hand: lists show thousands of dates.
    const auto two = [](QChar* p, int v) {
        p[0] = QLatin1Char(char('0' + v / 10));
        p[1] = QLatin1Char(char('0' + v % 10));
    };
    const QDate day = d.date();
    const QTime t = d.time();
    const bool midnight = t == QTime(0, 0);
    QString time(8, Qt::Uninitialized);
    two(time.data(), t.hour());
    time[2] = QLatin1Char(':');
    two(time.data() + 3, t.minute());
    time[5] = QLatin1Char(':');
    two(time.data() + 6, t.second());
    if (day == zeroDate().date()) return midnight ? QStringLiteral("00:00:00") : time;
    const int y = day.year();
    if (y < 1000 || y > 9999)
        return day.toString(QStringLiteral("dd.MM.yyyy")) + (midnight ? QString() : QLatin1Char(' ') + time);
    QString out(midnight ? 10 : 19, Qt::Uninitialized);
    QChar* p = out.data();
    two(p, day.day());
    p[2] = QLatin1Char('.');
    two(p + 3, day.month());
    p[5] = QLatin1Char('.');
    two(p + 6, y / 100);
    two(p + 8, y % 100);
    if (!midnight) {
        p[10] = QLatin1Char(' ');
        for (int i = 0; i < 8; ++i) p[11 + i] = time[i];
    }
    return out;
}

std::optional<bool> textToBool(const QString& Text) {
    const QString t = Text.trimmed();
    if (t.compare(QStringLiteral("Wahr"), Qt::CaseInsensitive) == 0 ||
        t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("Falsch"), Qt::CaseInsensitive) == 0 ||
        t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = germanLocale().toDouble(t, &ok);
    if (ok) return v != 0.0;
    return std::nullopt;
}

QString funNullWertS(const QVariant& v) {
    CALLSTACK();
    if (v.isNull() || !v.isValid()) return QString();
    switch (v.typeId()) {
        case QMetaType::QDateTime:
            return dateToText(v.toDateTime());
        case QMetaType::QDate:
            return dateToText(QDateTime(v.toDate(), QTime(0, 0)));
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
        case QMetaType::Double:
        case QMetaType::Float: {
            QString s = germanLocale().toString(v.toDouble(), 'g', 15);
            return s.remove(germanLocale().groupSeparator());
        }
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return QString::number(v.toLongLong());
        default:
            return v.toString();
    }
}

void registerPicture(const QString& key, const QString& file) { imageList().insert(key, file); }

QString pGetPicture(const QString& sFileName) {
    CALLSTACK();
    return imageList().value(sFileName);
}

}  // namespace gd
