// -verify: the elements of an earlier file paired with the selection's parts and checked.
#include "file_verifier.h"

#include <algorithm>
#include <fstream>
#include <iterator>

// --- FileVerifier -----------------------------------------------------------------

FileVerifier::FileVerifier(const RunSettings& settings, std::string file)
    : settings_(settings), file_(std::move(file)), checker_(settings) {}

bool FileVerifier::load(Console& console) {
    console_ = &console;
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        console.print("\n\nERROR:  Can't open the file to verify: %s\n\n", file_.c_str());
        return false;
    }
    text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    read_ = read_import_text(text_);
    checker_.declare(read_.types);
    if (!read_.fault.empty()) add_problem(file_, "it cannot be read past " + read_.fault);
    const long long kind = settings_.corvane() ? 12 : 13;
    if (read_.exporterKind && *read_.exporterKind != kind)
        add_problem(file_, "its ExporterKind is " + std::to_string(*read_.exporterKind) + ", the server's kind " +
                               std::to_string(kind));
    return true;
}

std::optional<std::size_t> FileVerifier::take(const std::string& path) {
    for (std::size_t at = next_; at < read_.elements.size(); ++at)
        if (read_.elements[at].name == path) {
            for (; next_ < at; ++next_)
                add_problem(read_.elements[next_].name, "the element belongs to no selected part at its place");
            next_ = at + 1;
            return at;
        }
    return std::nullopt;
}

void FileVerifier::verify_part(const std::string& path, const HistoryModel& model) {
    const std::optional<std::size_t> at = take(path);
    if (!at) {
        if (checker_.expects_element(model)) add_problem(path, "the file holds no element of the part");
        return;
    }
    const ReadElement& element = read_.elements[*at];
    ++elements_;
    versions_ += element.versions.size();
    std::string unchecked;
    for (std::string& problem : checker_.check(element, model, nullptr, &unchecked))
        add_problem(path, std::move(problem));
    report_unchecked(*console_, path, unchecked);
}

void FileVerifier::part_failed(const std::string& path, const std::string& reason) {
    add_problem(path, "not verified: " + reason);
    if (next_ < read_.elements.size() && read_.elements[next_].name == path) ++next_;
}

void FileVerifier::add_problem(std::string_view subject, std::string text) {
    ++problems_;
    if (subjects_.empty() || subjects_.back().name != subject) subjects_.push_back({std::string(subject), {}, 0});
    Subject& s = subjects_.back();
    constexpr std::size_t kShown = 3;  // the first problems of each element
    if (s.first.size() < kShown) s.first.push_back(std::move(text));
    else ++s.more;
}

int FileVerifier::finish(Console& console) {
    for (; next_ < read_.elements.size(); ++next_)
        add_problem(read_.elements[next_].name, "the element belongs to no selected part");
    // The writer states no counts (it writes 0); a file that states them must hold them.
    if (read_.numElements.value_or(0) != 0 && *read_.numElements != static_cast<long long>(read_.elements.size()))
        add_problem(file_, "its NumElements is " + std::to_string(*read_.numElements) + ", it holds " +
                               std::to_string(read_.elements.size()) + " elements");
    if (read_.numVersions.value_or(0) != 0 && *read_.numVersions != static_cast<long long>(read_.versionCount))
        add_problem(file_, "its NumVersions is " + std::to_string(*read_.numVersions) + ", it holds " +
                               std::to_string(read_.versionCount) + " versions");
    console.print("\n\nVerified %d elements, %zu versions: %d problems\n", elements_, versions_, problems_);
    for (const Subject& s : subjects_) {
        for (const std::string& problem : s.first) console.print("    %s: %s\n", s.name.c_str(), problem.c_str());
        if (s.more > 0) console.print("    %s: and %d more\n", s.name.c_str(), s.more);
    }
    console.print("\n");
    return problems_ == 0 ? 0 : -1;
}
