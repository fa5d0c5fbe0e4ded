#pragma once
// The two primitives that apply a keyword rule to an email text.

#include <QString>

namespace gd {

// The value after the first sKey up to sEnde, cleaned by funTrim. An empty sEnde
// becomes CR LF, and the caller's variable keeps it.
QString funGetData(const QString& sText, const QString& sKey, QString& sEnde);
QString funGetData(const QString& sText, const QString& sKey);
QString funTrim(const QString& sText);

}  // namespace gd
