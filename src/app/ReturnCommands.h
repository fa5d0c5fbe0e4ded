#pragma once
// Returns from a script: a buyer's withdrawal or return recorded with the day it came, the
// refund booked (and the invoice cancelled), and the open ones with their deadlines.
#include <optional>

class QCommandLineParser;

namespace gd {

struct WindowProgramParts;

void addReturnOptions(QCommandLineParser& parser);
// --refund takes the amount as a word of its own.
bool returnOptionTakesWords(const QCommandLineParser& parser);
// The exit status when one of them was given; nothing otherwise.
std::optional<int> returnOptions(const QCommandLineParser& parser, const WindowProgramParts& parts);

}  // namespace gd
