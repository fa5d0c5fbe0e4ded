#include "domain/import/Extract.h"

#include "base/CallStack.h"

namespace gd {

QString funGetData(const QString& sText, const QString& sKey, const QString& sEnde) {
    CALLSTACK_MODULE("modGlobal");
    static const QString lineEnd = QStringLiteral("\r\n");
    const QString& end = sEnde.isEmpty() ? lineEnd : sEnde;
    if (sText.isEmpty()) return QString();
    const qsizetype p = sText.indexOf(sKey, 0, Qt::CaseSensitive);
    if (p < 0) return QString();
    QString r = sText.mid(p + sKey.size());
    const qsizetype q = r.indexOf(end, 0, Qt::CaseSensitive);
    if (q >= 0) r.truncate(q);
    return funTrim(r);
}

QString funGetData(const QString& sText, const QString& sKey) { return funGetData(sText, sKey, QString()); }

QString funTrim(const QString& sText) {
    CALLSTACK_MODULE("modGlobal");
    const auto blank = [](QChar c) {
        return c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char(' ');
    };
    qsizetype b = 0, e = sText.size();
    while (b < e && blank(sText[b])) ++b;
    while (e > b && blank(sText[e - 1])) --e;
    QString t = sText.mid(b, e - b);
    qsizetype k = t.indexOf(QStringLiteral("\r\n\r\n"));
    if (k < 0) k = t.indexOf(QStringLiteral("\r\r"));
    if (k < 0) k = t.indexOf(QStringLiteral("\n\n"));
    if (k >= 0) t.truncate(k);
    static const QString notGiven = QStringLiteral("[nicht angegeben]");
    if (t.startsWith(notGiven)) t = notGiven;
    return t;
}

}  // namespace gd
