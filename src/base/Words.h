#pragma once

#include <QString>

namespace gd {

// The number with its word in the form the number asks for: "1 Storno", "0 Stornos", "2 Stornos".
inline QString counted(qint64 n, const QString& one, const QString& many) {
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}

}  // namespace gd
