// A fresh, empty folder for one test (the current one, if need be) and whole-file reading
// and writing, shared by the unit and end-to-end tests. Tests only.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace test_folder {

/// Made empty under the temporary folder, named after the running test; removed with
/// everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
        std::replace(name.begin(), name.end(), '/', '_');
        path_ = std::filesystem::temp_directory_path() / ("ferrox-" + name + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    /// Names of the files in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

/// Makes a fresh, empty folder the current one for its lifetime; the previous folder
/// is restored before the folder is removed.
class InScratchDir : public ScratchFolder {
public:
    InScratchDir() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(path()); }
    ~InScratchDir() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

/// The whole content of a file, byte for byte (empty when it cannot be read).
inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Replaces a file's content, byte for byte.
inline void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace test_folder
