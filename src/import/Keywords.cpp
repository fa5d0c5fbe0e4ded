#include "import/Keywords.h"

#include <QStringList>

#include "app/modGlobal.h"
#include "errors/CallStack.h"
#include "platform/Platform.h"
#include "settings/modIni.h"

namespace gd {
namespace {

// A faulty keyword file must not bury the user under message boxes.
constexpr int kMaxLineMessages = 10;

// Split as the system's Split does: an empty text has no pieces.
QStringList pieces(const QString& s, QChar sep) { return s.isEmpty() ? QStringList() : s.split(sep); }

struct LineReader {
    const QString& line;
    int& messages;
    bool failed = false;

    // The piece, or a failure noted once for the line.
    QString take(const QStringList& list, int index) {
        if (index < list.size()) return list[index];
        failed = true;
        return QString();
    }
    void finish() {
        if (!failed) return;
        if (messages++ < kMaxLineMessages)
            platform().msgBox(QStringLiteral("Fehler beim Lesen von: ") + line, Platform::Buttons::Ok,
                              Platform::Icon::None, QString());
    }
};

void readMarkers(const QString& line, QString& start, QString& end, int& messages) {
    LineReader r{line, messages};
    const QStringList eq = pieces(line, QLatin1Char('='));
    const QStringList parts = pieces(r.take(eq, 1), QLatin1Char('/'));
    const QString a = r.take(parts, 0);
    const QString b = r.take(parts, 1);
    if (parts.size() > 0) start = a;
    if (parts.size() > 1) end = b;
    r.finish();
}

tFeld readRule(const QString& line, int& messages) {
    LineReader r{line, messages};
    tFeld f;
    const QStringList eq = pieces(line, QLatin1Char('='));
    const QStringList lhs = pieces(r.take(eq, 0), QLatin1Char('/'));
    f.sKey = r.take(lhs, 0);
    f.sEnde = r.take(lhs, 1);
    const QStringList rhs = pieces(r.take(eq, 1), QLatin1Char('/'));
    f.sTabelle = r.take(rhs, 0);
    f.sFeld = r.take(rhs, 1);
    r.finish();
    return f;
}

void loadSection(const QString& section, std::vector<tFeld>& table, bool withMarkers, int& messages) {
    const auto lines = funIni_GetAllKeys(gsKeywordIni, section, false);
    if (!lines) return;
    table.clear();
    table.reserve(std::size_t(lines->size()));
    static const QString verk1 = QStringLiteral("#Verkäuferdaten1#");
    static const QString verk2 = QStringLiteral("#Verkäuferdaten2#");
    static const QString kaeu1 = QStringLiteral("#Käuferdaten1#");
    static const QString kaeu2 = QStringLiteral("#Käuferdaten2#");
    for (const QString& line : *lines) {
        if (withMarkers) {
            const QString head17 = line.left(17), head14 = line.left(14);
            if (head17 == verk1) {
                readMarkers(line, gsVerkaeuferdaten[1], gsVerkaeuferdaten[2], messages);
                continue;
            }
            if (head17 == verk2) {
                readMarkers(line, gsVerkaeuferdaten[3], gsVerkaeuferdaten[4], messages);
                continue;
            }
            if (head14 == kaeu1) {
                readMarkers(line, gsKaeuferdaten[1], gsKaeuferdaten[2], messages);
                continue;
            }
            if (head14 == kaeu2) {
                readMarkers(line, gsKaeuferdaten[3], gsKaeuferdaten[4], messages);
                continue;
            }
        }
        if (line.left(9) == QStringLiteral("#Betreff#")) continue;
        table.push_back(readRule(line, messages));
    }
}

}  // namespace

void subGetFelder() {
    CALLSTACK_MODULE("modGlobal");
    int messages = 0;
    loadSection(QStringLiteral("Sofortkauf"), gaSofortkauf, true, messages);
    loadSection(QStringLiteral("Kauf"), gaKauf, false, messages);
    loadSection(QStringLiteral("Verkauf"), gaVerkauf, false, messages);
}

QString funGetData(const QString& sText, const QString& sKey, QString& sEnde) {
    CALLSTACK_MODULE("modGlobal");
    if (sEnde.isEmpty()) sEnde = QStringLiteral("\r\n");
    if (sText.isEmpty()) return QString();
    const qsizetype p = sText.indexOf(sKey, 0, Qt::CaseSensitive);
    if (p < 0) return QString();
    QString r = sText.mid(p + sKey.size());
    const qsizetype q = r.indexOf(sEnde, 0, Qt::CaseSensitive);
    if (q >= 0) r.truncate(q);
    return funTrim(r);
}

QString funGetData(const QString& sText, const QString& sKey) {
    QString end;
    return funGetData(sText, sKey, end);
}

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
