#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/Terminal.h"

namespace gd {

// Terminals here take UTF-8 as the locale says.
void prepareConsole() {}

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
