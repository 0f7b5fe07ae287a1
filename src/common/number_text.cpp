// Decimal numbers read from text the way the C library's atoi reads them.
#include "number_text.h"

#include <algorithm>
#include <climits>

long long atoi_at(std::string_view text, std::size_t pos) {
    constexpr long long kPastInt = static_cast<long long>(INT_MAX) + 1;
    std::size_t i = pos;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kPastInt);
    return negative ? -value : value;
}
