#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/Terminal.h"

namespace gd {

// Terminals here take UTF-8 as the locale says.
void prepareConsole() {}

namespace {

class FileStream final : public QIODevice {
public:
    explicit FileStream(FILE* file) : file_(file) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        const std::size_t done = std::fwrite(data, 1, std::size_t(size), file_);
        std::fflush(file_);
        return done == std::size_t(size) ? size : -1;
    }

private:
    FILE* file_;
};

}  // namespace

QIODevice& standardStream(int which) {
    static FileStream out(stdout), err(stderr);
    return which == 2 ? static_cast<QIODevice&>(err) : out;
}

std::optional<QString> askHidden(const QString& prompt) {
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) return std::nullopt;
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios before{};
    const bool quiet = tcgetattr(STDIN_FILENO, &before) == 0;
    if (quiet) {
        termios hidden = before;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        hidden.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSANOW, &hidden);
    }
    std::string line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) line += char(c);
    if (quiet) tcsetattr(STDIN_FILENO, TCSANOW, &before);
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

}  // namespace gd
