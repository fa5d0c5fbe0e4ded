#include <windows.h>

#include <string>

#include "base/Terminal.h"

namespace gd {

// The console's code page is left as the user has it: the text goes to it as wide characters.
void prepareConsole() {}

namespace {

class ConsoleStream final : public QIODevice {
public:
    explicit ConsoleStream(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetFileType(handle_) == FILE_TYPE_CHAR &&
                   GetConsoleMode(handle_, &mode);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        DWORD done = 0;
        if (!console_) return WriteFile(handle_, data, DWORD(size), &done, nullptr) ? size : -1;
        pending_.append(data, qsizetype(size));
        // Whole UTF-8 sequences only; a character cut between two writes waits for its rest.
        qsizetype whole = pending_.size();
        for (qsizetype back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const unsigned char c = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((c & 0xC0) == 0x80) continue;  // a continuation byte
            const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > back) whole = pending_.size() - back;
            break;
        }
        const std::wstring text = QString::fromUtf8(pending_.left(whole)).toStdWString();
        pending_.remove(0, whole);
        return WriteConsoleW(handle_, text.c_str(), DWORD(text.size()), &done, nullptr) ? size : -1;
    }

private:
    HANDLE handle_;
    bool console_ = false;
    QByteArray pending_;
};

}  // namespace

QIODevice& standardStream(int which) {
    static ConsoleStream out(STD_OUTPUT_HANDLE), err(STD_ERROR_HANDLE);
    return which == 2 ? static_cast<QIODevice&>(err) : out;
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
