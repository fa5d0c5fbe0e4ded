#pragma once
// The mail account's commands: --testmail sends a test mail; --fetch stores the notifications of
// the seller's mailbox, as the window's "Posteingang abrufen".
#include <optional>

class QCommandLineParser;

namespace gd {

struct WindowProgramParts;

void addMailOptions(QCommandLineParser& parser);
// The exit status when one of them was given; nothing otherwise.
std::optional<int> mailOptions(const QCommandLineParser& parser, const WindowProgramParts& parts);

}  // namespace gd
