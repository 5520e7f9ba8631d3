// Numbers written in Quillon source text: the label number, the getkey key number and the
// freespace count. One reading for all three, independent of the locale. No Qt.
#pragma once

#include <optional>
#include <string_view>

namespace quillon {

// The value of [text] read as a decimal number: blanks (spaces, tabs) around it, an
// optional sign, digits with an optional fraction ("7", "-4", "2.5", ".5", "5."), an
// optional exponent ("1e3"). nullopt for anything else, also for a value too large or
// too small for a double.
std::optional<double> readNumber(std::string_view text);

// [text] read as a number and rounded half to even, when the result lies in
// [lowest]..[highest]; nullopt otherwise.
std::optional<long long> readWholeNumber(std::string_view text, long long lowest, long long highest);

}  // namespace quillon
