#include "domain/settings/Keywords.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "base/CallStack.h"
#include "base/profile.h"
#include "domain/settings/modGlobal.h"
#include "domain/settings/modIni.h"

namespace gd {
namespace {

// A faulty keyword file must not bury the user under message boxes.
constexpr int kMaxLineMessages = 10;

// An empty text has no pieces; QString::split would give one empty piece.
QStringList pieces(const QString& s, QChar sep) { return s.isEmpty() ? QStringList() : s.split(sep); }

struct LineReader {
    const QString& line;
    QStringList& messages;
    bool failed = false;

    // The piece, or a failure noted once for the line.
    QString take(const QStringList& list, int index) {
        if (index < list.size()) return list[index];
        failed = true;
        return QString();
    }
    void finish() {
        // A line of megabytes is quoted by its start.
        if (failed && messages.size() < kMaxLineMessages)
            messages << QStringLiteral("Fehler beim Lesen von: ") +
                            (line.size() > 200 ? line.left(200) + QStringLiteral(" …") : line);
    }
};

void readMarkers(const QString& line, QString& start, QString& end, QStringList& messages) {
    LineReader r{line, messages};
    const QStringList eq = pieces(line, QLatin1Char('='));
    const QStringList parts = pieces(r.take(eq, 1), QLatin1Char('/'));
    const QString a = r.take(parts, 0);
    const QString b = r.take(parts, 1);
    if (parts.size() > 0) start = a;
    if (parts.size() > 1) end = b;
    r.finish();
}

tFeld readRule(const QString& line, QStringList& messages) {
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

// "#Erkennung#=a/b": everything after the first "=", so a phrase may hold "=".
void readRecognition(const QString& line, std::vector<QStringList>& into, QStringList& messages) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    QStringList phrases = eq < 0 ? QStringList() : line.mid(eq + 1).split(QLatin1Char('/'));
    phrases.removeAll(QString());
    if (phrases.isEmpty()) {
        LineReader r{line, messages, true};
        r.finish();
        return;
    }
    into.push_back(phrases);
}

void loadSection(const QString& section, std::vector<tFeld>& table, bool withMarkers, QStringList& messages,
                 KeywordSection* described = nullptr, std::array<QString, 5>* verk = nullptr,
                 std::array<QString, 5>* kaeu = nullptr) {
    const auto lines = funIni_GetAllKeys(gsKeywordIni, section, false);
    if (!lines) return;
    if (!verk) verk = &gRules.verkaeuferdaten;
    if (!kaeu) kaeu = &gRules.kaeuferdaten;
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
                readMarkers(line, (*verk)[1], (*verk)[2], messages);
                continue;
            }
            if (head17 == verk2) {
                readMarkers(line, (*verk)[3], (*verk)[4], messages);
                continue;
            }
            if (head14 == kaeu1) {
                readMarkers(line, (*kaeu)[1], (*kaeu)[2], messages);
                continue;
            }
            if (head14 == kaeu2) {
                readMarkers(line, (*kaeu)[3], (*kaeu)[4], messages);
                continue;
            }
        }
        if (line.left(9) == QStringLiteral("#Betreff#")) continue;
        if (line.left(11) == QStringLiteral("#Erkennung#")) {
            if (described) readRecognition(line, described->erkennung, messages);
            continue;
        }
        table.push_back(readRule(line, messages));
    }
}

}  // namespace

ParserRules rulesInForce() {
    ParserRules r = gRules;
    r.member = gSettings.Username;
    r.platform = mainPlatform(gSettings);
    return r;
}

QStringList subGetFelder() {
    CALLSTACK_MODULE("modGlobal");
    QStringList messages;
    const QFileInfo file(gsKeywordIni);
    if (!file.isFile() || !file.isReadable()) {
        messages << QStringLiteral(
                        "Die Schlüsselwortdatei '%1' fehlt oder kann nicht gelesen werden. Ohne sie "
                        "erkennt Gaveldesk keine Auktions-E-Mails.")
                        .arg(QDir::toNativeSeparators(file.absoluteFilePath()));
        return messages;
    }
    if (file.size() > kMaxSettingsFileBytes) {
        messages << QStringLiteral("Die Schlüsselwortdatei '%1' ist größer als 1 MB und wird nicht gelesen.")
                        .arg(QDir::toNativeSeparators(file.absoluteFilePath()));
        return messages;
    }
    // The three in the order they were always read, so that messages keep their order.
    std::array<KeywordSection, 3> base;
    base[0].kind = SectionKind::Sofortkauf;
    base[1].kind = SectionKind::Kauf;
    base[2].kind = SectionKind::Verkauf;
    loadSection(QStringLiteral("Sofortkauf"), gRules.sofortkauf, true, messages, &base[0]);
    loadSection(QStringLiteral("Kauf"), gRules.kauf, false, messages, &base[1]);
    loadSection(QStringLiteral("Verkauf"), gRules.verkauf, false, messages, &base[2]);
    // Every section of rules in file order: the recognition lines are tried in that order.
    QString names;
    win::GetPrivateProfileString(std::nullopt, std::nullopt, QString(), names, int(kMaxSettingsFileBytes) + 2,
                                 gsKeywordIni);
    gRules.sections.clear();
    static const QString words[3] = {QStringLiteral("Sofortkauf"), QStringLiteral("Kauf"), QStringLiteral("Verkauf")};
    for (const QString& name : names.split(QChar(0), Qt::SkipEmptyParts)) {
        // A repeated header: the reader only sees the first.
        if (std::any_of(gRules.sections.begin(), gRules.sections.end(),
                        [&](const KeywordSection& k) { return k.name.compare(name, Qt::CaseInsensitive) == 0; }))
            continue;
        for (std::size_t w = 0; w < 3; ++w) {
            if (name.compare(words[w], Qt::CaseInsensitive) == 0) {
                base[w].name = name;
                gRules.sections.push_back(std::move(base[w]));
                break;
            }
            if (!name.startsWith(words[w] + QLatin1Char(' '), Qt::CaseInsensitive)) continue;
            KeywordSection k;
            k.name = name;
            k.kind = base[w].kind;
            k.extra = true;
            loadSection(name, k.rules, k.kind == SectionKind::Sofortkauf, messages, &k, &k.verkaeuferdaten,
                        &k.kaeuferdaten);
            if (k.erkennung.empty() && messages.size() < kMaxLineMessages)
                messages << QStringLiteral(
                                "Der Abschnitt [%1] der Schlüsselwortdatei hat keine #Erkennung#-Zeile; "
                                "er wird nie benutzt.")
                                .arg(name);
            gRules.sections.push_back(std::move(k));
            break;
        }
    }
    return messages;
}

}  // namespace gd
