#include "base/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "base/SafeWrite.h"
#include "base/codepage.h"

namespace gd::win {

constexpr qint64 kMostIniBytes = 4 * 1024 * 1024;

struct IniFile {
    QStringList lines;
    bool tooLarge = false;  // read as empty; never written back
    TextEncoding encoding = TextEncoding::Windows1252;
    QString eol = QStringLiteral("\r\n");
    bool existed = false;
};

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringView trimView(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (isBlank(s[b]) || s[b] == QLatin1Char('\r'))) ++b;
    while (e > b && (isBlank(s[e - 1]) || s[e - 1] == QLatin1Char('\r'))) --e;
    return s.mid(b, e - b);
}

IniFile load(const QString& path) {
    IniFile f;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return f;
    f.existed = true;
    // No settings file is this large; reading one that is would hold many times its size.
    if (file.size() > kMostIniBytes) {
        f.tooLarge = true;
        return f;
    }
    QByteArray bytes = file.read(kMostIniBytes);
    bytes.replace('\0', "");  // a NUL would end the value lists early
    DecodedText d = decodeText(bytes);
    f.encoding = d.encoding;
    if (!d.text.contains(QStringLiteral("\r\n")) && d.text.contains(QLatin1Char('\n'))) f.eol = QStringLiteral("\n");
    d.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    f.lines = d.text.split(QLatin1Char('\n'));
    if (!f.lines.isEmpty() && f.lines.last().isEmpty()) f.lines.removeLast();
    return f;
}

// The name of a section header line, or a null view.
std::optional<QStringView> headerName(QStringView line) {
    line = trimView(line);
    if (line.size() < 2 || line.front() != QLatin1Char('[')) return std::nullopt;
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return trimView(line.mid(1, close - 1));
}

bool isComment(QStringView t) { return t.isEmpty() || t.front() == QLatin1Char(';'); }

struct Entry {
    QStringView name;
    QStringView value;  // null when the line has no "="
    bool hasValue = false;
};

Entry splitEntry(QStringView line) {
    Entry e;
    const QStringView t = trimView(line);
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0) {
        e.name = t;
        return e;
    }
    e.name = trimView(t.left(eq));
    e.value = trimView(t.mid(eq + 1));
    e.hasValue = true;
    return e;
}

// [begin, end) are the lines after the header of the first matching section.
struct Range {
    qsizetype header = -1, begin = -1, end = -1;
};

Range findSection(const QStringList& lines, QStringView section) {
    Range r;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = headerName(lines[i]);
        if (!name) continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (name->compare(section, Qt::CaseInsensitive) == 0) {
            r.header = i;
            r.begin = i + 1;
        }
    }
    if (r.header >= 0) r.end = lines.size();
    return r;
}

qsizetype findKey(const QStringList& lines, const Range& r, QStringView key) {
    for (qsizetype i = r.begin; i < r.end; ++i) {
        const QStringView t = trimView(lines[i]);
        if (isComment(t)) continue;
        if (splitEntry(t).name.compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString unquote(QStringView v) {
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
        return v.mid(1, v.size() - 2).toString();
    return v.toString();
}

// A NUL-separated list cut to the buffer as the originals do.
int fitList(const QStringList& items, QString& returned, int size) {
    if (size <= 0) {
        returned.clear();
        return 0;
    }
    QString all;
    for (const QString& s : items) all += s + QChar(0);
    if (all.size() + 1 <= size) {
        returned = all + QChar(0);
        return int(all.size());
    }
    if (size < 2) {
        returned = QString(size, QChar(0));
        return 0;
    }
    returned = all.left(size - 2) + QChar(0) + QChar(0);
    return size - 2;
}

Status save(const IniFile& f, const QString& path) {
    QString text;
    for (const QString& l : f.lines) text += l + f.eol;
    return writeFileSafely(path, encodeText(text, f.encoding));
}

int getString(const IniFile& f, const OptString& section, const OptString& key, const QString& deflt, QString& returned,
              int size) {
    if (!section) {
        QStringList names;
        for (const QString& l : f.lines)
            if (auto n = headerName(l)) names << n->toString();
        return fitList(names, returned, size);
    }
    const Range r = findSection(f.lines, *section);
    if (!key) {
        QStringList names;
        if (r.header >= 0)
            for (qsizetype i = r.begin; i < r.end; ++i) {
                const QStringView t = trimView(f.lines[i]);
                if (!isComment(t)) names << splitEntry(t).name.toString();
            }
        return fitList(names, returned, size);
    }
    QString value;
    const qsizetype k = r.header >= 0 ? findKey(f.lines, r, *key) : -1;
    if (k >= 0) {
        value = unquote(splitEntry(f.lines[k]).value);
    } else {
        value = deflt;
        while (!value.isEmpty() && value.back() == QLatin1Char(' ')) value.chop(1);
    }
    if (size <= 0) {
        returned.clear();
        return 0;
    }
    returned = value.left(size - 1);
    return int(returned.size());
}

// One assignment as WritePrivateProfileString makes it, on the lines in memory.
void assign(IniFile& f, const QString& section, const OptString& key, const OptString& value) {
    // A line break inside a value would start a new line of the file.
    OptString v = value;
    if (v)
        v->replace(QStringLiteral("\r\n"), QStringLiteral(" "))
            .replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const Range r = findSection(f.lines, section);
    if (!key) {
        if (r.header >= 0) f.lines.remove(r.header, r.end - r.header);
        return;
    }
    const qsizetype k = r.header >= 0 ? findKey(f.lines, r, *key) : -1;
    if (!v) {
        if (k >= 0) f.lines.removeAt(k);
        return;
    }
    if (k >= 0) {
        const QString name = splitEntry(f.lines[k]).name.toString();
        f.lines[k] = name + QLatin1Char('=') + *v;
    } else if (r.header >= 0) {
        // After the last entry of the section, before blank lines that part it from the next.
        qsizetype at = r.end;
        while (at > r.begin && trimView(f.lines[at - 1]).isEmpty()) --at;
        f.lines.insert(at, *key + QLatin1Char('=') + *v);
    } else {
        if (!f.lines.isEmpty() && !trimView(f.lines.last()).isEmpty()) f.lines << QString();
        f.lines << QLatin1Char('[') + section + QLatin1Char(']') << *key + QLatin1Char('=') + *v;
    }
}

}  // namespace

int GetPrivateProfileString(const OptString& section, const OptString& key, const QString& deflt, QString& returned,
                            int size, const QString& file) {
    return getString(load(file), section, key, deflt, returned, size);
}

bool WritePrivateProfileString(const OptString& section, const OptString& key, const OptString& value,
                               const QString& file) {
    if (!section) return false;
    return WritePrivateProfileStrings({{*section, key, value}}, file);
}

bool WritePrivateProfileStrings(const QList<ProfileWrite>& writes, const QString& file) {
    return writeProfileStrings(writes, file).ok();
}

Status writeProfileStrings(const QList<ProfileWrite>& writes, const QString& file) {
    IniFile f = load(file);
    if (f.tooLarge)
        return Error::plain(QStringLiteral("Die Datei „%1“ ist größer als 4 MB und wird nicht verändert.")
                                .arg(QDir::toNativeSeparators(file)));
    const QStringList before = f.lines;
    bool values = false;
    for (const ProfileWrite& w : writes) {
        assign(f, w.section, w.key, w.value);
        values = values || (w.key && w.value);
    }
    // Deleting what is not there leaves the file alone (and creates none).
    if (!values && f.lines == before) return {};
    return save(f, file);
}

ProfileSnapshot::ProfileSnapshot(const QString& file) : file_(std::make_shared<IniFile>(load(file))) {}

int ProfileSnapshot::GetPrivateProfileString(const OptString& section, const OptString& key, const QString& deflt,
                                             QString& returned, int size) const {
    return getString(*file_, section, key, deflt, returned, size);
}

int GetPrivateProfileSection(const QString& section, QString& returned, int size, const QString& file) {
    const IniFile f = load(file);
    const Range r = findSection(f.lines, section);
    QStringList items;
    if (r.header >= 0)
        for (qsizetype i = r.begin; i < r.end; ++i) {
            const QStringView t = trimView(f.lines[i]);
            if (isComment(t)) continue;
            const Entry e = splitEntry(t);
            items << (e.hasValue ? e.name + QLatin1Char('=') + e.value : e.name.toString());
        }
    if (items.isEmpty()) {
        returned = size > 0 ? QString(qMin(size, 2), QChar(0)) : QString();
        return 0;
    }
    return fitList(items, returned, size);
}

}  // namespace gd::win
