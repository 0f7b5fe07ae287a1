// Decimal numbers read from text the way the C library's atoi reads them.
#pragma once

#include <cstddef>
#include <string_view>

/// Reads a number from `pos` on: leading white space, an optional sign, the digits up to
/// the first non-digit; no digits (or `pos` past the end) give 0. A value beyond the
/// range of int is held just past it (INT_MAX + 1, or its negation), so that a caller can
/// refuse it or clamp it; it never wraps.
long long atoi_at(std::string_view text, std::size_t pos = 0);
