#pragma once
// The terminal a command was started from, if any.
#include <QIODevice>
#include <QString>
#include <optional>

namespace gd {

// Before the first line a command prints.
void prepareConsole();

// Standard output (1) or error (2) for a QTextStream writing UTF-8. A Windows console gets the
// text as its own wide characters, whatever its code page (850 in Germany); a file, a pipe or a
// terminal elsewhere gets the UTF-8 bytes. Written through at once, so both streams keep their order.
QIODevice& standardStream(int which);

// A line typed at the terminal without showing it (a password), after the prompt on stderr.
// Nothing when no one sits at a terminal: input from a file or a pipe is not asked.
std::optional<QString> askHidden(const QString& prompt);

}  // namespace gd
