// The element import file writer: globals, types, directories and element blocks go
// to three scratch files, which combine_export_files joins into the output file.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run_files.h"
#include "history_model.h"
#include "identity.h"
#include "revision_tree.h"
#include "run_context.h"

inline constexpr const char* kDefaultPartsExportFile = kPartsOutputFile;

/// "Keyword N:value" with the value's length in bytes; values are never quoted.
std::string encode_text_line(std::string_view keyword, std::string_view value);
/// "Keyword N".
std::string encode_number_line(std::string_view keyword, long long value);
/// The element's "Mode" from a part row's fmode: 1 to 3 characters or "0" and three
/// more become "100" + those digits, anything else "100644", read as octal.
int element_mode(std::string_view fmode);
/// A branch path with `prefix` before its first name and after every "/".
std::string branch_form(std::string_view branchPath, std::string_view prefix);

/// What the element of one part put into the files: its lines, and the directories,
/// label types and branch types it declares in the order it met them ('d', 'l' or 'b'
/// and the name), and its versions. A run that resumes writes it again as it was.
struct WrittenElement {
    std::string text;  // empty: the part wrote no element (all its versions before -since)
    std::vector<std::pair<char, std::string>> declarations;
    int versions = 0;
};

/// Writer state for one parts export: the scratch files, the types section, the
/// counts. Directories, label types and branch types are registered in the model's
/// registries and declared once each. A part reaches the files whole or not at all:
/// its element is held until its end is written (a long one that went out in pieces
/// is cut back off the file when it is dropped), and the directories and types it
/// meets are declared only with its end.
class ElementWriter : public VersionSink {
public:
    ElementWriter(RunContext& ctx, ExportIdentity& identity, HistoryModel& model);

    bool globals_written() const override { return headerWritten_; }
    /// 0; -1 when the labels scratch file cannot be opened; 1 on a write failure.
    int write_globals() override;
    /// Begins the part's element; an element still open is reported and dropped.
    int write_element_header(const OrderedEntry& entry) override;
    /// One VERSION block; the part's directories, its branch type and its label
    /// types are noted for the element's end. -1 before any element or when a lookup
    /// fails.
    int write_version_block(const OrderedEntry& entry) override;
    /// Declares what the open element met, closes it and writes it out; -1 (writing
    /// nothing) when no element is open, 1 on a write failure.
    int write_element_end();
    /// True between an element's header and its end (or its discarding).
    bool element_open() const { return elementOpen_; }
    /// The open element's text so far (without its end), also what went out in pieces.
    std::string element_text() const;
    /// The label and branch type blocks the open element's end will declare: the types
    /// it meets that the export has not declared yet.
    std::string pending_type_declarations() const;
    /// The element the last write_element_end wrote, taken out (empty when none was
    /// written since the last take).
    WrittenElement take_last_element() { return std::exchange(lastElement_, {}); }
    /// Writes an element a part wrote in an earlier run as write_element_end wrote it,
    /// declaring what it declared where not yet declared, and counts it. An empty one
    /// only makes sure the globals are written, as a part with no version to export does.
    /// 0, -1 when a scratch file cannot be opened, 1 on a write failure.
    int replay_element(const WrittenElement& element);
    /// The label and branch type blocks of what `element` declares, declared now or not.
    std::string type_blocks(const WrittenElement& element) const;
    /// Drops the open element of a failed part: none of it, nor what it would have
    /// declared, reaches the files or the counts. Nothing happens when none is open.
    void discard_element();
    /// Joins the scratch files into the output file through a temporary name beside
    /// it, then keeps the saved labels and directories files. 0 or -1; on failure an
    /// earlier output file of that name stays as it was. An element still open, or a
    /// scratch file that a write failed on, is reported and fails the combining.
    int combine_export_files();

    int declare_label_type(std::string_view labelName);
    int declare_branch_type(std::string_view branchPath);
    int declare_directory(std::string_view path);

    int elementCount() const { return elementCount_; }
    int versionCount() const { return versionCount_; }

private:
    std::string_view branch_prefix() const;
    std::string label_type_block(std::string_view labelName) const;
    std::string branch_type_block(std::string_view branchPath) const;
    std::string_view part_path(const OrderedEntry& entry) const;
    /// Who made the element or version, and when: the lines both blocks carry.
    std::string event_lines(std::int64_t changeTime) const;
    int ensure_globals();
    int open_versions();
    int begin_types();
    int write_to(std::ofstream& file, const std::string& text);
    enum class Declaration : char { Directory = 'd', LabelType = 'l', BranchType = 'b' };
    /// Notes a declaration for the open element's end, once per element.
    void defer(Declaration kind, std::string_view name);
    void defer_part_directories(std::string_view path);
    /// Registers and declares, in the order met, what the open element noted.
    int declare_pending();
    int compose_extract_command(const OrderedEntry& entry, std::string& command);
    int no_release(const OrderedEntry& entry);
    void report_unended_element();
    /// Puts a finished scratch file in the place of its saved file, as an output file is
    /// committed; false after a message naming the saved file and the reason.
    bool keep_saved_file(const char* scratchFile, const char* savedFile);

    RunContext& ctx_;
    const RunSettings& settings_;
    ExportIdentity& identity_;
    Console& console_;
    HistoryModel& model_;

    std::ofstream labels_;
    std::ofstream dirs_;
    std::ofstream versions_;
    bool labelsOpened_ = false;
    bool dirsOpened_ = false;
    bool versionsOpened_ = false;
    bool headerWritten_ = false;
    bool typesBegun_ = false;

    // The open element: its lines not yet written, and where it began in the file.
    static constexpr std::size_t kElementSpill = 1 << 20;
    std::string directoriesDoneFor_;  // the part path whose directories are noted
    std::vector<std::pair<Declaration, std::string>> pending_;
    NameSet pendingSeen_;  // kind letter + name of every pending declaration
    bool writeFailed_ = false;
    bool elementOpen_ = false;
    std::string elementName_;
    std::string element_;
    std::uintmax_t elementStart_ = 0;
    bool elementSpilled_ = false;
    WrittenElement lastElement_;
    int elementsBefore_ = 0;
    int versionsBefore_ = 0;
    int elementCount_ = 0;
    int versionCount_ = 0;
};
