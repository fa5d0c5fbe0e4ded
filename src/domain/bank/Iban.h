#pragma once
// IBAN and BIC as a seller types them into the options.

#include <QString>

namespace gd {

// Upper case, without blanks: what the check and the payment code use.
QString compactIban(const QString& typed);
// The check digits (mod 97) and, for the countries listed, the length.
bool ibanValid(const QString& typed);
// "DE89 3704 0044 0532 0130 00": groups of four, as banks print it.
QString groupedIban(const QString& typed);
// 8 or 11 characters: bank, country, place, branch.
bool bicValid(const QString& typed);

}  // namespace gd
