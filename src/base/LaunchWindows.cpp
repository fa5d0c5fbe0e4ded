#include <windows.h>
// windows.h first: shellapi.h builds on it.
#include <shellapi.h>
#include <shlwapi.h>

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/AppPath.h"
#include "base/Launch.h"

namespace gd {

std::string ownExecutableFolder() {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    const QString path = QDir::fromNativeSeparators(QString::fromWCharArray(buf.data(), int(n)));
    return QFileInfo(path).absolutePath().toStdString();
}

std::string windowProgram() {
    const std::string here = ownExecutableFolder();
    const std::string beside = here + "/gaveldesk-fenster.exe";
    return !here.empty() && QFileInfo::exists(QString::fromStdString(beside)) ? beside : std::string();
}

// Windows has no exec: the window program runs as a child with this console and these
// arguments (the whole wide command line, so no name loses a character), and its exit
// code becomes ours.
std::string replaceProcess(const std::string& program, char**) {
    const std::wstring exe = QDir::toNativeSeparators(QString::fromStdString(program)).toStdWString();
    std::wstring line = GetCommandLineW();
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child))
        return "Fehler " + std::to_string(GetLastError());
    CloseHandle(child.hThread);
    // Started by a double click, the console is ours alone: let it close while the window runs.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    std::exit(int(code));
}

bool haveDisplay() { return true; }

// Windows always has a desktop to paint on; Qt's offscreen platform would know no fonts here.
QByteArray windowlessPlatform() { return {}; }

bool desktopOpensLinks() { return true; }

QString defaultOpener(const QString& file) {
    if (!QFileInfo::exists(file)) return QString();
    wchar_t found[MAX_PATH + 1] = {};
    const std::wstring name = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()).toStdWString();
    // Values above 32 mean success.
    if (reinterpret_cast<INT_PTR>(FindExecutableW(name.c_str(), nullptr, found)) <= 32) return QString();
    return QDir::fromNativeSeparators(QString::fromWCharArray(found));
}

bool hasMailProgram() {
    wchar_t found[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    return AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, L"mailto", L"open", found, &size) == S_OK;
}

void endProcess(int code) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(code));
    std::_Exit(code);  // only if the system refused
}

bool inProgramsFolder(const QString& dir) {
    const QString mine = QDir::cleanPath(QDir::fromNativeSeparators(dir)).toLower() + QLatin1Char('/');
    for (const char* name : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
        const QString programs = qEnvironmentVariable(name);
        if (programs.isEmpty()) continue;
        const QString under = QDir::cleanPath(QDir::fromNativeSeparators(programs)).toLower() + QLatin1Char('/');
        if (mine.startsWith(under)) return true;
    }
    return false;
}

QString userDataFolder() {
    QString base = qEnvironmentVariable("APPDATA");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/AppData/Roaming");
    return QDir::fromNativeSeparators(QDir::cleanPath(base)) + QStringLiteral("/Gaveldesk");
}

}  // namespace gd
