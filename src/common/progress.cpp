// Drawing, refreshing and clearing the -progress line.
#include "progress.h"

namespace {

std::string clock_text(long long seconds) {
    return strprintf("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace

std::string progress_text(std::size_t done, std::size_t total, const char* unit, std::size_t failed,
                          long long elapsedSeconds, long long leftSeconds) {
    return strprintf("  %zu of %zu %s, %zu failed, %s elapsed, %s", done, total, unit, failed,
                     clock_text(elapsedSeconds).c_str(),
                     leftSeconds < 0 ? "time left not known yet"
                                     : ("about " + clock_text(leftSeconds) + " left").c_str());
}

Progress::Progress(Console& console, bool on, std::function<Clock::time_point()> now)
    : console_(console), on_(on), now_(std::move(now)) {}

void Progress::begin(std::size_t total, const char* unit) {
    if (!on_) return;
    counting_ = true;
    total_ = total;
    unit_ = unit;
    done_ = fetched_ = failed_ = 0;
    start_ = now_();
    refresh();
}

void Progress::advance(bool failed, bool fetched) {
    if (!counting_) return;
    ++done_;
    if (failed) ++failed_;
    if (fetched) ++fetched_;
    if (now_() - shownAt_ >= std::chrono::seconds(1) || done_ == total_) refresh();
}

void Progress::refresh() {
    shownAt_ = now_();
    const long long elapsed = std::chrono::duration_cast<std::chrono::seconds>(shownAt_ - start_).count();
    const std::size_t left = total_ > done_ ? total_ - done_ : 0;
    // At the rate of the units fetched so far; those taken from a journal cost nothing.
    const long long leftSeconds =
        fetched_ == 0 ? (left == 0 ? 0 : -1)
                      : static_cast<long long>(static_cast<double>(left) *
                                               std::chrono::duration<double>(shownAt_ - start_).count() /
                                               static_cast<double>(fetched_) + 0.5);
    hide();
    text_ = progress_text(done_, total_, unit_, failed_, elapsed, leftSeconds);
    show();
}

void Progress::end() {
    hide();
    counting_ = false;
    text_.clear();
}

void Progress::hide() {
    if (!shown_) return;
    shown_ = false;
    // Blanks over the line between two carriage returns.
    std::string blank(text_.size() + 2, ' ');
    blank.front() = blank.back() = '\r';
    console_.err(blank);
}

void Progress::show() {
    if (shown_ || !counting_ || text_.empty()) return;
    shown_ = true;
    console_.err("\r" + text_);
}

void ProgressConsole::out(std::string_view text) {
    progress_.hide();
    run_.out(text);
    progress_.show();
}

void ProgressConsole::err(std::string_view text) {
    progress_.hide();
    run_.err(text);
    progress_.show();
}
