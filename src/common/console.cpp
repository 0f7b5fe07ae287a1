// Console sinks and unbounded printf-style formatting.
#include "console.h"

#include <cstdio>

#include "supervisor.h"
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

void StdConsole::out(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) lost();
}

void StdConsole::err(std::string_view text) {
    flush();  // keep the two streams in order on a shared terminal
#ifdef _WIN32
    // A Windows client's own CR LF line ends would come out doubled through the text
    // stream, which puts back a CR before every line feed.
    std::string lines(text);
    for (std::size_t at = 0; (at = lines.find("\r\n", at)) != std::string::npos;) lines.erase(at, 1);
    text = lines;
#endif
    if (std::fwrite(text.data(), 1, text.size(), stderr) != text.size() || std::fflush(stderr) != 0) lost();
}

void StdConsole::flush() {
    if (std::fflush(stdout) != 0) lost();
}

void StdConsole::lost() {
    if (failed_) return;
    // Nobody reads what the run says any more (a pipe's reader went away): the run ends
    // as an interrupted one does, cleaning up, rather than going on unseen.
    failed_ = true;
    platform::note_interrupt();
}
