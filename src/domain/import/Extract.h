#pragma once
// The two primitives that apply a keyword rule to an email text.

#include <QString>

namespace gd {

// The value after the first sKey up to sEnde (an empty one: CR LF), cleaned by funTrim.
QString funGetData(const QString& sText, const QString& sKey, const QString& sEnde);
QString funGetData(const QString& sText, const QString& sKey);
QString funTrim(const QString& sText);

}  // namespace gd
