// Release and part specification files: the release in-list of every part query, and
// the part list gathered from batches of named parts and like patterns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run_context.h"
#include "run_files.h"


/// The release names of the release specification file "-relspec": the first field of
/// every line (a last line without a line end too), in file order, repeats kept; lines
/// whose first field is empty add nothing. 0, or -1 after its message when the file
/// cannot be opened.
int read_release_spec(RunContext& ctx, std::vector<std::string>& names);

/// "(" + each name as a quoted SQL literal, separated by "," + ")"; "()" for none.
std::string release_in_list(const std::vector<std::string>& names);

/// Reads the release specification file into `releaseInList`; 0 or -1.
int build_release_list(RunContext& ctx, std::string& releaseInList);

/// True for a like pattern: an entry holding "%", or holding both "escape" and "_".
bool is_wildcard_entry(std::string_view entry);

/// The named parts of one batch: "(" + quoted names separated by "," + ")" once closed.
struct PartInList {
    std::string text;
    bool nameAdded = false;  // decides whether a "," goes before the next name
};

/// With `close` false adds `name` (an empty name adds nothing); with `close` true
/// closes the list with ")" (an empty list stays empty).
void add_to_part_list(PartInList& list, std::string_view name, bool close);

/// Appends the answer in `scratchFile` to the raw part file `target` and removes the
/// scratch file; an empty or missing answer adds nothing. An empty `target` first
/// becomes the raw part file, created empty. 0, or -1 after its message.
int append_raw_file(RunContext& ctx, std::string& target, const std::string& scratchFile);

/// The part specification selection ("-partspec"): every `partIndex` lines the named
/// parts go to the server as one batch query, each like pattern at once on its own,
/// and the answers gather, in the order sent, in the raw part file, whose name lands in
/// `rawFile` (left empty when nothing was asked). 0, or -1 at the first failure.
int select_parts(RunContext& ctx, const std::string& releaseInList, std::string& rawFile);
