#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/AppPath.h"
#include "base/Launch.h"

namespace gd {

namespace {

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string ownExecutableFolder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/'));
}

std::string windowProgram() {
    const std::string here = ownExecutableFolder();
    if (here.empty()) return {};
    for (const char* relative : {"/gaveldesk-fenster", "/../lib/gaveldesk/gaveldesk-fenster"})
        if (executable(here + relative)) return here + relative;
    return {};
}

std::string replaceProcess(const std::string& program, char** argv) {
    execv(program.c_str(), argv);
    return std::strerror(errno);
}

bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QByteArray windowlessPlatform() { return QByteArrayLiteral("offscreen"); }

bool desktopOpensLinks() { return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty(); }

QString defaultOpener(const QString& file) {
    // The nearest counterpart here: the desktop's opener, when the file exists.
    if (!QFileInfo::exists(file)) return QString();
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

// AppPath.h: the data folder by the desktop's rules.
bool hasMailProgram() {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) return true;
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
    if (!p.waitForFinished(5000) || p.exitCode() != 0) return true;
    return !p.readAllStandardOutput().trimmed().isEmpty();
}

// A package puts the program under /usr, which has no bin/ of ours beside it.
void endProcess(int code) { std::exit(code); }

bool inProgramsFolder(const QString&) { return false; }

QString userDataFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as other desktop programs do.
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base + QStringLiteral("/gaveldesk");
}

}  // namespace gd
