#pragma once
// The terminal a command was started from, if any.
#include <QString>
#include <optional>

namespace gd {

// Before the first line a command prints: the console shows UTF-8 as it is.
void prepareConsole();

// A line typed at the terminal without showing it (a password), after the prompt on stderr.
// Nothing when no one sits at a terminal: input from a file or a pipe is not asked.
std::optional<QString> askHidden(const QString& prompt);

}  // namespace gd
