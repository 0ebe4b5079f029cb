#include "shell/numeric.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace pictorra::shell {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsNumeric(std::string_view text) {
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    while (i < n && IsBlank(text[i])) ++i;
    return i == n;
}

std::optional<int32_t> WholeNumber(std::string_view text) {
    if (!IsNumeric(text)) return std::nullopt;
    // strtod reads this restricted form exactly as written; blanks are skipped by it.
    const std::string copy(text);
    const double value = std::nearbyint(std::strtod(copy.c_str(), nullptr));
    if (value >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace pictorra::shell
