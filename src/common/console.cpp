// Console sinks and unbounded printf-style formatting.
#include "console.h"

#include <cstdio>
#include <vector>

std::string vstrprintf(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    return text;
}

std::string strprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vstrprintf(format, args);
    va_end(args);
    return text;
}

void Console::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    out(vstrprintf(format, args));
    va_end(args);
}

void Console::eprint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    err(vstrprintf(format, args));
    va_end(args);
}

void StdConsole::out(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void StdConsole::err(std::string_view text) {
    std::fflush(stdout);  // keep the two streams in order on a shared terminal
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void StdConsole::flush() { std::fflush(stdout); }
