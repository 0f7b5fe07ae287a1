// Linked into every test binary: whatever a test does to the environment (TZ above all,
// which changes how every later test reads a date) or to the current folder is undone
// when it ends, so no test depends on the order the tests run in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>

extern char** environ;

namespace {

std::map<std::string, std::string> environment() {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        variables[text.substr(0, text.find('='))] = text.substr(text.find('=') + 1);
    }
    return variables;
}

class RestoreEnvironment : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        saved_ = environment();
        folder_ = std::filesystem::current_path();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (const auto& [name, value] : environment())
            if (!saved_.count(name)) ::unsetenv(name.c_str());
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
        ::tzset();
        std::filesystem::current_path(folder_);
    }

    std::map<std::string, std::string> saved_;
    std::filesystem::path folder_;
};

// Registered before main() runs the tests; GoogleTest owns the listener from then on.
const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RestoreEnvironment);
    return true;
}();

}  // namespace
