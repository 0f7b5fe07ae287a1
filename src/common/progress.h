// The -progress line: parts or records done of all, the failed ones, the time taken and
// the time left at the rate so far, kept up to date on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "console.h"

/// The line's text: "  DONE of TOTAL UNIT, FAILED failed, H:MM:SS elapsed, about H:MM:SS
/// left", the time left being unknown (`leftSeconds` below 0) until a unit was fetched.
std::string progress_text(std::size_t done, std::size_t total, const char* unit, std::size_t failed,
                          long long elapsedSeconds, long long leftSeconds);

/// Counts the units of an export and shows progress_text on the standard error stream of
/// `console`, refreshing its figures at most once a second. Off, it does nothing.
class Progress {
public:
    using Clock = std::chrono::steady_clock;
    Progress(Console& console, bool on, std::function<Clock::time_point()> now = Clock::now);

    /// Starts counting `total` units called `unit` ("parts", "records").
    void begin(std::size_t total, const char* unit);
    /// One unit more is done; `fetched` false for one taken from a journal, which does not
    /// count towards the rate.
    void advance(bool failed, bool fetched = true);
    /// Clears the line for good.
    void end();

    /// Takes the line off the screen before other output, and puts it back after it.
    void hide();
    void show();

private:
    void refresh();

    Console& console_;
    bool on_;
    std::function<Clock::time_point()> now_;
    bool counting_ = false;
    Clock::time_point start_{}, shownAt_{};
    std::size_t total_ = 0, done_ = 0, fetched_ = 0, failed_ = 0;
    const char* unit_ = "";
    std::string text_;
    bool shown_ = false;
};

/// A console that keeps the progress line below everything else printed: the line goes
/// before each output and comes back after it.
class ProgressConsole : public Console {
public:
    ProgressConsole(Console& run, Progress& progress) : run_(run), progress_(progress) {}
    void out(std::string_view text) override;
    void err(std::string_view text) override;
    void flush() override { run_.flush(); }

private:
    Console& run_;
    Progress& progress_;
};
