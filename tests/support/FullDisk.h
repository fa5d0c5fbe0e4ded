#pragma once
// A small tmpfs that the test fills to the last block: a full disk without
// touching the machine's own. Needs root; the test skips with a note otherwise.

#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace gd::test {

class FullDisk {
public:
    explicit FullDisk(int kilobytes) {
        if (::geteuid() != 0) {
            why = QStringLiteral("nur als root: ein tmpfs wird eingehängt");
            return;
        }
        mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), dir.path()}) == 0;
        if (!mounted) why = QStringLiteral("mount -t tmpfs ist hier nicht erlaubt");
    }
    ~FullDisk() {
        if (mounted) QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), dir.path()});
    }
    QString path() const { return dir.path(); }
    // Takes every free block.
    void fill() const {
        QFile f(QDir(dir.path()).filePath(QStringLiteral("fuellung")));
        if (!f.open(QIODevice::WriteOnly)) return;
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }
    // Files a write left behind: names with our temporary suffix or the old "x.ini.AbC123".
    QStringList temporaries() const {
        QStringList found;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            if (f.contains(QStringLiteral(".gdtmp-")) || QFileInfo(f).suffix().size() == 6) found << f;
        }
        return found;
    }

    bool mounted = false;
    QString why;

private:
    QTemporaryDir dir;
};

}  // namespace gd::test
