// -verify: an element import file made earlier checked, part by part, against the
// histories of the selection's parts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console.h"
#include "element_check.h"
#include "history_model.h"
#include "run_settings.h"

/// A parts run that checks an element import file made earlier instead of writing
/// one: the file's elements are paired in order with the parts of the selection.
class FileVerifier {
public:
    FileVerifier(const RunSettings& settings, std::string file);
    /// Reads the whole file; false after a message when it cannot be opened.
    bool load(Console& console);
    /// Pairs the part at `path` with the next element of that name and checks it. A
    /// part without one is a problem unless "-since" leaves it nothing to write;
    /// elements passed over on the way belong to no selected part.
    void verify_part(const std::string& path, const HistoryModel& model);
    /// A part whose history could not be read: a problem; its element is passed over.
    void part_failed(const std::string& path, const std::string& reason);
    /// Prints "Verified N elements, M versions: K problems" and the first problems of
    /// each element; 0 when K is 0, else -1.
    int finish(Console& console);

private:
    /// The next element named `path` at or after the cursor, or none.
    std::optional<std::size_t> take(const std::string& path);
    void add_problem(std::string_view subject, std::string text);

    const RunSettings& settings_;
    Console* console_ = nullptr;  // the run's, from load()
    std::string file_;
    std::string text_;
    ReadImport read_;
    LineageChecker checker_;
    std::size_t next_ = 0;  // the first element not yet paired or passed over
    int elements_ = 0;
    std::size_t versions_ = 0;
    struct Subject {
        std::string name;
        std::vector<std::string> first;  // its first problems
        int more = 0;
    };
    std::vector<Subject> subjects_;
    int problems_ = 0;
};
