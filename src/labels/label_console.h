// Where tagsmith's progress and error messages go: standard output.
#pragma once

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

}  // namespace tagsmith
