// Console sink: every message goes through it, so tests can compare the exact text.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#if defined(__MINGW_PRINTF_FORMAT)
#define FERROX_PRINTF(fmt, args) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, args)))
#elif defined(__GNUC__)
#define FERROX_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define FERROX_PRINTF(fmt, args)
#endif

/// printf-style formatting into a std::string, with no length limit.
std::string strprintf(const char* format, ...) FERROX_PRINTF(1, 2);
std::string vstrprintf(const char* format, va_list args);

class Console {
public:
    virtual ~Console() = default;
    /// Text for standard output, written as given (no line end added).
    virtual void out(std::string_view text) = 0;
    /// Text for the standard error stream.
    virtual void err(std::string_view text) = 0;
    virtual void flush() {}

    /// Formatted text for standard output.
    void print(const char* format, ...) FERROX_PRINTF(2, 3);
    /// Formatted text for the standard error stream.
    void eprint(const char* format, ...) FERROX_PRINTF(2, 3);
};

/// The real console: standard output and standard error. A write that fails interrupts
/// the run (see platform::note_interrupt).
class StdConsole : public Console {
public:
    void out(std::string_view text) override;
    void err(std::string_view text) override;
    void flush() override;
    /// True once a write to the console failed.
    bool failed() const { return failed_; }

private:
    void lost();
    bool failed_ = false;
};

/// Collects everything printed; for tests.
class BufferConsole : public Console {
public:
    void out(std::string_view text) override { outText.append(text); }
    void err(std::string_view text) override { errText.append(text); }
    std::string outText;
    std::string errText;
};
