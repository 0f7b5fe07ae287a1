// Runs server command lines; tests substitute a recorder that writes canned answers.
#pragma once

#include <string>

class Shell {
public:
    virtual ~Shell() = default;
    /// Runs one command line (redirection included) through the command interpreter;
    /// returns its exit status, 0 meaning success.
    virtual int run(const std::string& commandLine) = 0;
};

/// The real thing: the platform's command interpreter.
class SystemShell : public Shell {
public:
    int run(const std::string& commandLine) override;
};
