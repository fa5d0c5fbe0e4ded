#include "support/TestApp.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "base/codepage.h"

namespace gd::test {
namespace {

void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        const QString dst = QDir(to).filePath(rel);
        QDir().mkpath(QFileInfo(dst).path());
        QFile::copy(src, dst);
        QFile(dst).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

}  // namespace

TestApp::TestApp(bool withResources) : clock(QDateTime(QDate(2026, 12, 4), QTime(8, 44, 2))) {
    EXPECT_TRUE(dir_.isValid());
    oldHome_ = qgetenv("GAVELDESK_HOME");
    qputenv("GAVELDESK_HOME", dir_.path().toLocal8Bit());
    QDir().mkpath(dir_.filePath(QStringLiteral("bin")));
    if (withResources) copyTree(QStringLiteral(GD_RESOURCES_DIR), dir_.path());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString rt = QDir::temp().filePath(QStringLiteral("gd-xdg-runtime"));
        QDir().mkpath(rt);
        QFile(rt).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", rt.toLocal8Bit());
    }
    setClock(&clock);
}

TestApp::~TestApp() {
    setClock(nullptr);
    if (oldHome_.isNull())
        qunsetenv("GAVELDESK_HOME");
    else
        qputenv("GAVELDESK_HOME", oldHome_);
}

QString TestApp::file(const QString& relative) const { return dir_.filePath(relative); }

void TestApp::write(const QString& relative, const QByteArray& bytes) const {
    const QString p = file(relative);
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << p.toStdString();
    f.write(bytes);
}

QByteArray TestApp::read(const QString& relative) const {
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

QByteArray ansi(const QString& s) { return win::toAnsi(s); }

QString dataFile(const QString& name) { return QStringLiteral(GD_TEST_DATA_DIR "/") + name; }

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<fehlt>");
}

QByteArray tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return "<fehlt>";
    return p.readAllStandardOutput();
}

}  // namespace gd::test
