#pragma once
// Parcels from a script: the day's paid sales as the carrier's upload file.
#include <optional>

class QCommandLineParser;

namespace gd {

void addShippingOptions(QCommandLineParser& parser);
// --verpackung takes the CSV file as a word of its own.
bool shippingOptionTakesWords(const QCommandLineParser& parser);
// The exit status when one of them was given; nothing otherwise.
std::optional<int> shippingOptions(const QCommandLineParser& parser);

}  // namespace gd
