// The command-line options of ferrox and their parse into RunSettings.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run_files.h"
#include "run_settings.h"

/// Longest value each option accepts. The record's fields were fixed-size in earlier
/// releases, so these lengths are what users have always been able to pass; a longer
/// value is refused with the usage error rather than cut, since a cut release name or
/// selection clause would quietly export the wrong data.
constexpr std::size_t kMaxReleaseNameLength = 63;
constexpr std::size_t kMaxSinceDateLength = 31;
constexpr std::size_t kMaxPartIndexLength = 19;
constexpr std::size_t kMaxTargetLength = 99;
constexpr std::size_t kMaxWhereClauseLength = 4095;
constexpr std::size_t kMaxTextOptionLength = 1023;  // -o, -query, -infile, -committedFile,
                                                    // -partspec, -relspec, -valuemap, -usermap,
                                                    // -verify

/// Most client calls a run may have under way at once ("-jobs").
constexpr int kMaxJobs = 64;
/// Most times a failed client call is tried again ("-retries").
constexpr int kMaxRetries = 10;
/// Longest time limit of a client call in seconds ("-timeout"): about eleven days.
constexpr int kMaxTimeoutSeconds = 1000000;

/// Parses `args` (args[0] is the invocation name and is not read) into `settings`,
/// whose defaults and server kind the caller has already set. Returns 0 when every
/// word was accepted, -1 otherwise, with the refused word and the reason in `why`;
/// prints nothing (the caller shows the usage).
///
/// Fails on: fewer than two words after the program name; a word that is no option
/// (options are matched exactly and case-sensitively); a missing, empty or over-long
/// value; a -target other than "NT" or "UNIX"; a -partindex below 1 (including a value
/// without leading digits) or beyond the range of int; a -jobs, -retries or -timeout that
/// is not a whole number in its range; a -since that names no date (since_date_problem);
/// -release, -partspec, -since, -verify or -relspec while the export kind is not parts;
/// -relspec after -release or -relspec; -valuemap with -nomap (wherever either stands);
/// -plan together with -resume.
/// A -release after a release selection is skipped without taking its value, so the
/// word after it is read as an option. Later options replace earlier ones. An export
/// kind option sets its default output file, which a "-o" anywhere on the line
/// replaces (the last "-o" counts).
int parse_options(const std::vector<std::string>& args, RunSettings& settings, std::string* why = nullptr);

/// Why a "-since" value names no date and time, or empty when it does. The six numbers
/// are read where the history steps read them (characters 1, 6, 9, 12, 15 and 18; any
/// separators between them); each must have digits and lie in its range (a day in its
/// month), except that the time of day may be left off the end (a date alone means its
/// midnight).
std::string since_date_problem(const std::string& text);

/// True when a word asks for the usage ("-h", "--help", "/?").
bool is_help_request(const std::vector<std::string>& args);
