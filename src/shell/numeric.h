#pragma once
// "Numeric" text, the one rule for every number a user types or the settings store holds:
// optional blanks, an optional sign, digits with an optional decimal point and fraction (or a
// fraction alone), optional blanks. Anything else (exponents, hex, thousands separators, an
// empty text) is not numeric.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pictorra::shell {

bool IsNumeric(std::string_view text);

// The whole number of a numeric text, halves to the even neighbour (300.5 gives 300, 301.5
// gives 302), saturated to the 32-bit range; nullopt when the text is not numeric.
std::optional<int32_t> WholeNumber(std::string_view text);

}  // namespace pictorra::shell
