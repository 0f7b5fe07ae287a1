// Test doubles for the tracking exports: a fake server client and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run_context.h"
#include "test_support.h"

namespace tracking_test {

using test_support::read_text;
using test_support::write_text;

/// A raw record of `count` "|"-separated fields; field i is "v<i>" unless `values` says
/// otherwise.
inline std::string numbered_line(std::size_t count, const std::map<std::size_t, std::string>& values) {
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) line += '|';
        auto it = values.find(i);
        line += it == values.end() ? "v" + std::to_string(i) : it->second;
    }
    return line;
}

/// Splits a POSIX command line into words the way /bin/sh would for the simple lines
/// ferrox composes: blanks separate words, single quotes quote, \ escapes one character.
/// A ">" that begins a word is kept as a word of its own.
inline std::vector<std::string> shell_words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            word += line.substr(i + 1, close - i - 1);
            i = close;
            inWord = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            word += line.substr(i + 1, close - i - 1);
            i = close;
            inWord = true;
        } else if (c == ' ') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '>' && !inWord) {
            words.push_back(">");
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

/// Answers the commands of the tracking exports from memory, the way the server client
/// would: report commands write `rawAnswer` / `configAnswer`, long views write the note
/// of the named record. Every command line is recorded.
class FakeServer : public Shell {
  public:
    int run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        const std::vector<std::string> words = shell_words(commandLine);
        std::string target;
        for (std::size_t i = 0; i + 1 < words.size(); ++i)
            if (words[i] == ">") target = words[i + 1];
        auto has = [&](const char* w) {
            for (const std::string& x : words)
                if (x == w) return true;
            return false;
        };
        if (has("-long")) {
            std::string name;
            for (std::size_t i = 0; i + 1 < words.size(); ++i)
                if (words[i] == "-view") name = words[i + 1];
            if (failing.count(name)) return 1;
            auto note = notes.find(name);
            write_text(target, note == notes.end() ? "" : note->second);
            return 0;
        }
        if (has("-configInfo")) {
            if (!configAnswer) return 2;
            write_text(target, *configAnswer);
            return 0;
        }
        // A failing client may still leave part of its answer behind.
        if (!reportStatus || !rawAnswer.empty()) write_text(target, rawAnswer);
        return reportStatus;
    }

    std::vector<std::string> commands;
    std::map<std::string, std::string> notes;
    std::map<std::string, bool> failing;
    std::string rawAnswer;
    std::optional<std::string> configAnswer;
    int reportStatus = 0;
};

/// A run of one export in a fresh current folder, restored afterwards.
class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<test_support::InScratchDir>();
        settings.mapValues = 1;
    }
    void TearDown() override { scratch_.reset(); }
    /// Files left in the current folder, sorted.
    std::vector<std::string> files() const { return scratch_->files(); }

    RunSettings settings;
    BufferConsole console;
    FakeServer server;
    ScratchFiles scratch;
    RunContext ctx{settings, console, server, scratch};

  private:
    std::unique_ptr<test_support::InScratchDir> scratch_;
};

/// An RFC 4180 reader written independently of the exporter: quoted and unquoted
/// values, "" inside quotes, line breaks inside quotes, records ended by LF or CR LF.
inline std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string value;
    std::size_t i = 0;
    bool atValueStart = true;
    bool any = false;
    while (i < text.size()) {
        const char c = text[i];
        if (atValueStart && c == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        value += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            // A closing quote must end the value.
            if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
                ADD_FAILURE() << "text after a closing quote at byte " << i;
            atValueStart = false;
            any = true;
            continue;
        }
        if (c == ',') {
            record.push_back(value);
            value.clear();
            atValueStart = true;
            any = true;
            ++i;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            record.push_back(value);
            records.push_back(record);
            record.clear();
            value.clear();
            atValueStart = true;
            any = false;
            i += c == '\r' ? 2 : 1;
        } else {
            if (c == '"') ADD_FAILURE() << "quote inside an unquoted value at byte " << i;
            value += c;
            atValueStart = false;
            any = true;
            ++i;
        }
    }
    if (any) {
        record.push_back(value);
        records.push_back(record);
    }
    return records;
}

}  // namespace tracking_test
