#include <windows.h>

#include <string>

#include "base/Terminal.h"

namespace gd {

void prepareConsole() {
    // The console's own code page (850 in Germany) would garble every umlaut we print.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

std::optional<QString> askHidden(const QString& prompt) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetFileType(in) != FILE_TYPE_CHAR || !GetConsoleMode(in, &mode) || GetFileType(err) != FILE_TYPE_CHAR)
        return std::nullopt;
    const std::wstring shown = prompt.toStdWString();
    DWORD done = 0;
    WriteConsoleW(err, shown.c_str(), DWORD(shown.size()), &done, nullptr);
    SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
    std::wstring line;
    wchar_t c = 0;
    DWORD got = 0;
    while (ReadConsoleW(in, &c, 1, &got, nullptr) && got == 1 && c != L'\n')
        if (c != L'\r') line += c;
    SetConsoleMode(in, mode);
    WriteConsoleW(err, L"\r\n", 2, &done, nullptr);
    return QString::fromStdWString(line);
}

}  // namespace gd
