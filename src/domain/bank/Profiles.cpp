#include "domain/bank/Profiles.h"

#include <QFile>

#include "base/AppPath.h"

namespace gd {
namespace {

bool hasAll(const QStringList& header, const QStringList& names) {
    for (const QString& n : names)
        if (column(header, {n}) < 0) return false;
    return !names.isEmpty();
}

}  // namespace

QStringList FileProfile::headings(const QString& role) const {
    const QString v = spalten.value(role);
    return v.split(sums(role) ? QLatin1Char('+') : QLatin1Char('|'), Qt::SkipEmptyParts);
}

QList<FileProfile> parseProfiles(const QString& text, QStringList* errors) {
    QList<FileProfile> out;
    FileProfile* current = nullptr;
    int line = 0;
    const auto complain = [&](const QString& why) {
        if (errors) *errors << QStringLiteral("Dateiformate.ini, Zeile %1: %2").arg(line).arg(why);
    };
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        ++line;
        const QString l = raw.trimmed();
        if (l.isEmpty() || l.startsWith(QLatin1Char(';')) || l.startsWith(QLatin1Char('#'))) continue;
        if (l.startsWith(QLatin1Char('[')) && l.endsWith(QLatin1Char(']'))) {
            out << FileProfile();
            current = &out.last();
            current->name = l.mid(1, l.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (!current || eq <= 0) {
            complain(QStringLiteral("„%1“ ist weder ein [Abschnitt] noch Name=Wert").arg(l.left(60)));
            continue;
        }
        const QString key = l.left(eq).trimmed(), value = l.mid(eq + 1).trimmed();
        if (key == QStringLiteral("Art"))
            current->art = value;
        else if (key == QStringLiteral("Quelle"))
            current->quelle = value;
        else if (key == QStringLiteral("Erkennung"))
            current->erkennung = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        else if (key == QStringLiteral("Trenner"))
            current->trenner = value == QStringLiteral("Tab") ? QLatin1Char('\t')
                               : value.isEmpty()              ? QLatin1Char(';')
                                                              : value[0];
        else
            current->spalten.insert(key, value);
    }
    // A profile that recognises nothing would take every file: left out, and said.
    for (qsizetype i = out.size() - 1; i >= 0; --i)
        if (out[i].erkennung.isEmpty() || out[i].art.isEmpty()) {
            if (errors)
                *errors << QStringLiteral("Dateiformate.ini, [%1]: ohne Art und Erkennung nicht verwendet")
                               .arg(out[i].name);
            out.removeAt(i);
        }
    return out;
}

QString profilesPath() { return AppPath() + QStringLiteral("/bin/Dateiformate.ini"); }

QList<FileProfile> loadProfiles(QStringList* errors) {
    QFile f(profilesPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return parseProfiles(decoded(f.read(1024 * 1024)), errors);
}

ProfileMatch recogniseProfile(const QString& text, const QList<FileProfile>& profiles, const QString& art) {
    // Each separator once, and one split held at a time: a split costs many times the text.
    QList<QChar> separators;
    for (const FileProfile& p : profiles)
        if (p.art.compare(art, Qt::CaseInsensitive) == 0 && !separators.contains(p.trenner)) separators << p.trenner;
    for (const QChar separator : std::as_const(separators)) {
        const QList<CsvRecord> records = csvRecords(text, separator);
        for (const FileProfile& p : profiles) {
            if (p.art.compare(art, Qt::CaseInsensitive) != 0 || p.trenner != separator) continue;
            for (qsizetype h = 0; h < records.size() && h < 40 && records[h].openQuote == 0; ++h)
                if (hasAll(records[h].fields, p.erkennung)) return ProfileMatch{h, &p, records};
        }
    }
    return {};
}

int roleColumn(const FileProfile& p, const QString& role, const QStringList& header) {
    return column(header, p.headings(role));
}

FileInspection inspectFile(const QByteArray& bytes, const QList<FileProfile>& profiles) {
    // Twenty rows are shown: the first 256 KB hold them in any real file.
    const QString text = decoded(bytes.left(256 * 1024));
    FileInspection out;
    QStringList arts;
    for (const FileProfile& p : profiles)
        if (!arts.contains(p.art)) arts << p.art;
    for (const QString& art : arts) {
        const ProfileMatch m = recogniseProfile(text, profiles, art);
        if (!m.profile) continue;
        out.profile = m.profile->name;
        out.art = m.profile->art;
        out.quelle = m.profile->quelle;
        out.verified = m.profile->verified();
        out.headings = m.records[m.header].fields;
        for (int c = 0; c < out.headings.size(); ++c) {
            QStringList said;
            for (auto it = m.profile->spalten.cbegin(); it != m.profile->spalten.cend(); ++it)
                if (column(QStringList{out.headings[c]}, m.profile->headings(it.key())) == 0) said << it.key();
            out.roles << said.join(QStringLiteral(", "));
        }
        for (qsizetype i = m.header + 1; i < m.records.size() && out.rows.size() < 20; ++i)
            out.rows << m.records[i].fields;
        return out;
    }
    // None: the first lines as they are, so the user sees the headings to put in a profile.
    const QList<CsvRecord> records = csvRecords(text);
    for (qsizetype i = 0; i < records.size() && out.rows.size() < 20; ++i) out.rows << records[i].fields;
    return out;
}

}  // namespace gd
