// Where tagsmith's progress and error messages go: standard output, or a string in tests.
#pragma once

#include <string>
#include <string_view>

namespace tagsmith {

/// A sink for console text. Every message of the program goes through one, so tests
/// can compare the whole console output.
class Console {
public:
    virtual ~Console() = default;
    virtual void print(std::string_view text) = 0;
};

/// Writes to standard output (buffered; flushed when the program ends).
class StdConsole : public Console {
public:
    void print(std::string_view text) override;
};

/// Collects everything printed, for tests.
class StringConsole : public Console {
public:
    void print(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace tagsmith
