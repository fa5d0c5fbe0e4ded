#pragma once
// Tolerant conversions between the texts of forms, settings and database and
// numbers, dates and pictures. Every conversion uses the German locale.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace gd {

const QLocale& germanLocale();

// The date-time value 0: a milestone with this date is still open.
QDateTime zeroDate();
bool isZeroDate(const QDateTime& d);

double funCDbl(const QString& Text);  // 0 for any bad text
qint32 funCLng(const QString& Text);  // rounded half to even; 0 for bad text or overflow
// Throws RunError 13 for a text that is no date.
QDateTime funCDate(const QString& Text);
std::optional<QDateTime> tryCDate(const QString& Text);
QString funNullWertS(const QVariant& v);

// A date as the regional short format shows it: "04.12.2026", with
// " 08:44:02" when the time is not midnight; a day-zero value shows its time only.
QString dateToText(const QDateTime& d);
// "Wahr"/"Falsch" as the German system writes Booleans; reads those, True/False and numbers.
std::optional<bool> textToBool(const QString& Text);

// The image list of the main window: key -> image file. pGetPicture gives the
// file of a key, or an empty text when the key or the list is missing.
void registerPicture(const QString& key, const QString& file);
QString pGetPicture(const QString& sFileName);

}  // namespace gd
