// The element import file writer and the combining of its scratch files.
#include "element_writer.h"

#include <filesystem>
#include <iterator>

#include "output_file.h"
#include "platform.h"

namespace fs = std::filesystem;

std::string encode_text_line(std::string_view keyword, std::string_view value) {
    std::string line(keyword);
    line += ' ';
    line += std::to_string(value.size());
    line += ':';
    line += value;
    line += '\n';
    return line;
}

std::string encode_number_line(std::string_view keyword, long long value) {
    return std::string(keyword) + ' ' + std::to_string(value) + '\n';
}

int element_mode(std::string_view fmode) {
    std::string digits = "100644";
    if (!fmode.empty() && fmode.size() <= 3)
        digits = "100" + std::string(fmode);
    else if (fmode.size() == 4 && fmode[0] == '0')
        digits = "100" + std::string(fmode.substr(1));
    int mode = 0;
    for (char c : digits) {
        if (c < '0' || c > '7') break;
        mode = mode * 8 + (c - '0');
    }
    return mode;
}

std::string branch_form(std::string_view branchPath, std::string_view prefix) {
    std::string text(prefix);
    for (char c : branchPath) {
        text += c;
        if (c == '/') text += prefix;
    }
    return text;
}

namespace {

bool non_empty_file(const char* name) {
    std::error_code ec;
    auto size = fs::file_size(name, ec);
    return !ec && size > 0;
}

/// Appends the whole of `from` to `to`, byte for byte.
bool copy_into(std::ostream& to, const char* from) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    to << in.rdbuf();
    return static_cast<bool>(to);
}

/// A value of an extract command as the target's interpreter must get it: the
/// importing side runs the command later through cmd.exe (NT) or a POSIX shell.
/// Values without a character special to that interpreter stay as they are; a
/// blank alone puts the value between double quotes, as paths with blanks always
/// were; anything else is quoted by the interpreter's own rules.
std::string extract_argument(std::string_view value, bool targetNT) {
    const std::string_view special = targetNT ? std::string_view(" \t\n\r\"%^&|<>()!")
                                              : std::string_view(" \t\n\r\"'`$\\|&;<>()*?[]#~{}!");
    bool blankOnly = true;
    bool plain = true;
    for (char c : value) {
        if (special.find(c) == std::string_view::npos) continue;
        plain = false;
        if (c != ' ') blankOnly = false;
    }
    if (plain) return std::string(value);
    // Bare quotes as the format has always written them, except where a final backslash
    // would escape the closing quote for the Windows client's argument parser.
    if (blankOnly && !(targetNT && value.ends_with('\\'))) return "\"" + std::string(value) + "\"";
    return targetNT ? platform::quote_cmd(value) : platform::quote_posix(value);
}

/// Appends this run's scratch file `file` to `out`; false after its message when the
/// run made none, it is empty, or it cannot be read.
bool append_scratch(Console& console, std::ostream& out, bool opened, const char* file, const char* missingLead,
                    const char* kind) {
    if (!opened || !non_empty_file(file)) {
        console.print("%s%s: \n\n", missingLead, file);
        return false;
    }
    if (!copy_into(out, file)) {
        console.print("\n\nERROR: Can't open %s File: %s\n\n", kind, file);
        return false;
    }
    return true;
}


}  // namespace

ElementWriter::ElementWriter(RunContext& ctx, ExportIdentity& identity, HistoryModel& model)
    : ctx_(ctx), settings_(ctx.settings), identity_(identity), console_(ctx.console), model_(model) {}

std::string_view ElementWriter::branch_prefix() const {
    return settings_.corvane() ? "CVN-BRANCH-" : "VANDOR-BRANCH-";
}

std::string_view ElementWriter::part_path(const OrderedEntry& entry) const {
    return settings_.corvane() ? entry.revision.nupathname : entry.version.pathname;
}

std::string ElementWriter::event_lines(std::int64_t changeTime) const {
    return encode_text_line("EventUser", identity_.userName) + encode_text_line("EventGroup", identity_.groupName) +
           encode_text_line("EventName", identity_.eventName) + encode_text_line("EventHost", identity_.hostName) +
           encode_number_line("EventTime", changeTime);
}

int ElementWriter::write_to(std::ofstream& file, const std::string& text) {
    file << text;
    file.flush();
    if (file) return 0;
    // Some of the text may have reached the file: it can no longer be combined.
    writeFailed_ = true;
    console_.print("\n\nERROR: Can't output string to export file \n\n");
    console_.print("%s", text.c_str());
    return 1;
}

int ElementWriter::write_globals() {
    if (!labelsOpened_) {
        ctx_.scratch.add(kLabelsScratchFile);
        labels_.open(kLabelsScratchFile, std::ios::out | std::ios::trunc);
        if (!labels_) {
            console_.print("\n\nERROR: Can't open Labels File: %s\n\n", kLabelsScratchFile);
            return -1;
        }
        labelsOpened_ = true;
    }
    std::string cwd;
    try {
        std::error_code ec;
        cwd = fs::current_path(ec).string();
    } catch (const std::exception&) {
        // A folder name the narrow character set cannot hold is written as empty.
        cwd.clear();
    }
    std::string text = encode_number_line("EXPORT_FORMAT", 5) + "GLOBALS_BEGIN\n" +
                       encode_text_line("ExportFromDir", cwd) + encode_number_line("NumElements", 0) +
                       encode_number_line("NumVersions", 0) +
                       encode_number_line("ExporterKind", settings_.corvane() ? 12 : 13) +
                       encode_text_line("NeedCmd", settings_.corvane() ? "corv" : "File") + "GLOBALS_END\n";
    if (int rc = write_to(labels_, text); rc != 0) return rc;
    headerWritten_ = true;
    return 0;
}

int ElementWriter::ensure_globals() {
    if (headerWritten_) return 0;
    if (write_globals() != 0) {
        console_.print("\n\nERROR:\t Globals Not Written\n\n");
        return -1;
    }
    return 0;
}

int ElementWriter::begin_types() {
    if (int rc = ensure_globals(); rc != 0) return rc;
    if (typesBegun_) return 0;
    if (int rc = write_to(labels_, "TYPES_BEGIN\n"); rc != 0) return rc;
    typesBegun_ = true;
    return 0;
}

std::string ElementWriter::label_type_block(std::string_view labelName) const {
    return "LBTYPE_BEGIN\n" + encode_text_line("LbType", labelName) + "LBTYPE_END\n";
}

std::string ElementWriter::branch_type_block(std::string_view branchPath) const {
    std::string name(last_component(branchPath));
    if (name.find(branch_prefix()) == std::string::npos) name = std::string(branch_prefix()) + name;
    return "BRTYPE_BEGIN\n" + encode_text_line("BrType", name) + "BRTYPE_END\n";
}

int ElementWriter::declare_label_type(std::string_view labelName) {
    if (int rc = begin_types(); rc != 0) return rc;
    return write_to(labels_, label_type_block(labelName));
}

int ElementWriter::declare_branch_type(std::string_view branchPath) {
    if (int rc = begin_types(); rc != 0) return rc;
    return write_to(labels_, branch_type_block(branchPath));
}

int ElementWriter::declare_directory(std::string_view path) {
    if (path.empty()) return 0;
    if (!dirsOpened_) {
        ctx_.scratch.add(kDirsScratchFile);
        dirs_.open(kDirsScratchFile, std::ios::out | std::ios::trunc);
        if (!dirs_) {
            console_.print("\n\nERROR: Can't open Directories File: %s\n\n", kDirsScratchFile);
            return -1;
        }
        dirsOpened_ = true;
        if (int rc = write_to(dirs_, "DIR_BEGIN\n" + encode_text_line("DirName", ".") + "DIR_END\n"); rc != 0)
            return rc;
    }
    if (path == ".") return 0;
    return write_to(dirs_, "DIR_BEGIN\n" + encode_text_line("DirName", path) + "DIR_END\n");
}

void ElementWriter::defer(Declaration kind, std::string_view name) {
    std::string key(1, static_cast<char>(kind));
    key += name;
    if (pendingSeen_.insert(std::move(key)).second) pending_.emplace_back(kind, std::string(name));
}

void ElementWriter::defer_part_directories(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return;
    std::string_view dir = path.substr(0, slash);
    // Each leading directory before the directory itself, so ancestors come first.
    for (std::size_t at = dir.find('/'); at != std::string_view::npos; at = dir.find('/', at + 1))
        defer(Declaration::Directory, dir.substr(0, at));
    defer(Declaration::Directory, dir);
}

int ElementWriter::declare_pending() {
    int result = 0;
    for (const auto& [kind, name] : pending_) {
        int rc = 0;
        if (kind == Declaration::BranchType) {
            if (model_.register_branch_type(name) == 0) rc = declare_branch_type(name);
        } else if (model_.register_declared_name(name) == 0) {
            rc =
                kind == Declaration::Directory ? declare_directory(name) : declare_label_type(name);
        }
        if (rc != 0 && result == 0) result = rc;
    }
    pending_.clear();
    pendingSeen_.clear();
    return result;
}

std::string ElementWriter::type_blocks(const WrittenElement& element) const {
    std::string text;
    for (const auto& [kind, name] : element.declarations) {
        if (kind == static_cast<char>(Declaration::BranchType))
            text += branch_type_block(name);
        else if (kind == static_cast<char>(Declaration::LabelType))
            text += label_type_block(name);
    }
    return text;
}

std::string ElementWriter::pending_type_declarations() const {
    // As declare_pending goes: directories and label types share one registry.
    std::string text;
    NameSet named, branches;
    for (const auto& [kind, name] : pending_) {
        if (kind == Declaration::BranchType) {
            if (!model_.has_branch_type(name) && branches.emplace(last_component(name)).second)
                text += branch_type_block(name);
        } else if (!model_.has_declared_name(name) && named.emplace(name).second &&
                   kind == Declaration::LabelType) {
            text += label_type_block(name);
        }
    }
    return text;
}

std::string ElementWriter::element_text() const {
    if (!elementSpilled_) return element_;
    // The pieces that went out are read back from where the element began.
    std::ifstream in(kVersionsScratchFile, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(elementStart_));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text + element_;
}

void ElementWriter::report_unended_element() {
    // Only a caller that forgot the element's end gets here: its part would silently
    // be missing from the export.
    console_.print("\n\nERROR:  The element of Part %s was begun but never ended\n\n",
                   elementName_.c_str());
}

void ElementWriter::discard_element() {
    if (!elementOpen_) return;
    // The part failed before its end: none of it reaches the files or the totals.
    element_.clear();
    elementOpen_ = false;
    pending_.clear();
    pendingSeen_.clear();
    directoriesDoneFor_.clear();
    if (elementSpilled_) {
        versions_.close();
        std::error_code ec;
        fs::resize_file(kVersionsScratchFile, elementStart_, ec);
        versions_.open(kVersionsScratchFile, std::ios::out | std::ios::app);
        if (ec || !versions_) writeFailed_ = true;  // the piece written stays in the file
        elementSpilled_ = false;
    }
    elementCount_ = elementsBefore_;
    versionCount_ = versionsBefore_;
}

int ElementWriter::open_versions() {
    if (versionsOpened_) return 0;
    ctx_.scratch.add(kVersionsScratchFile);
    versions_.open(kVersionsScratchFile, std::ios::out | std::ios::trunc);
    if (!versions_) {
        console_.print("\n\nERROR: Can't open Versions File: %s\n\n", kVersionsScratchFile);
        return -1;
    }
    versionsOpened_ = true;
    return 0;
}

int ElementWriter::replay_element(const WrittenElement& element) {
    if (int rc = ensure_globals(); rc != 0) return rc;
    if (element.text.empty()) return 0;
    if (int rc = open_versions(); rc != 0) return rc;
    for (const auto& [kind, name] : element.declarations) defer(static_cast<Declaration>(kind), name);
    if (int rc = declare_pending(); rc != 0) return rc;
    ++elementCount_;
    versionCount_ += element.versions;
    return write_to(versions_, element.text);
}

int ElementWriter::write_element_header(const OrderedEntry& entry) {
    if (int rc = open_versions(); rc != 0) return rc;
    if (elementOpen_) {
        // The caller forgot the end of the element before: it is dropped, and said so.
        report_unended_element();
        discard_element();
    }
    std::string_view path = part_path(entry);
    if (path.empty()) {
        console_.print("\n\nERROR:  Element has no part path\n\n");
        return -1;
    }
    const std::string* fmode = entry.partRow        ? &entry.partRow->fmode
                               : entry.committedRow ? &entry.committedRow->fmode
                                                    : nullptr;
    if (identity_.userName.empty()) identity_.userName = "guest";
    if (identity_.groupName.empty()) identity_.groupName = "staff";
    if (identity_.eventName.empty()) identity_.eventName = "guest";
    if (identity_.hostName.empty()) identity_.hostName = "myhostname";

    elementStart_ = static_cast<std::uintmax_t>(versions_.tellp());
    elementSpilled_ = false;
    elementsBefore_ = elementCount_;
    versionsBefore_ = versionCount_;
    element_ = "ELEMENT_BEGIN\n" + encode_text_line("Name", path) +
               encode_number_line("Mode", element_mode(fmode ? std::string_view(*fmode) : "")) +
               event_lines(entry.changeTime);
    elementOpen_ = true;
    elementName_ = path;
    ++elementCount_;
    return 0;
}

int ElementWriter::no_release(const OrderedEntry& entry) {
    // The history step looks branch points up before it hands them over: a version
    // without either is a caller's fault, and no extract command can be made for it.
    console_.print("\n\nERROR:  Version %s has no release: neither a part row nor a lookup gave one\n\n",
                   settings_.corvane() ? entry.revision.revisionname.c_str() : entry.version.id.c_str());
    return -1;
}

int ElementWriter::compose_extract_command(const OrderedEntry& entry, std::string& command) {
    std::string_view path = part_path(entry);
    command = settings_.targetNT ? "cmd /c " : "";
    command += settings_.corvane() ? "corv Part -extract " : "File -extract ";
    command += extract_argument(path, settings_.targetNT);
    command += " -nokeys ";
    if (settings_.crlf) command += " -crlf ";
    auto option = [this, &command](const char* name, const std::string& value) {
        command +=
            std::string(" ") + name + " " + extract_argument(value, settings_.targetNT) + " ";
    };
    if (settings_.corvane()) {
        if (entry.partRow) {
            option("-release", entry.partRow->releasename);
            if (!entry.partRow->workareaname.empty()) option("-version", entry.partRow->workareaname);
        } else if (entry.lookedUp) {
            option("-release", entry.lookedUpRelease);
            option("-version", entry.lookedUpSid);
        } else {
            return no_release(entry);
        }
    } else {
        if (entry.committedRow) {
            option("-release", entry.committedRow->releasename);
            if (!entry.committedRow->sid.empty()) option("-version", entry.committedRow->sid);
        } else if (entry.lookedUp) {
            option("-release", entry.lookedUpRelease);
            if (!entry.version.sid.empty()) option("-version", entry.version.sid);
        } else {
            return no_release(entry);
        }
    }
    command += " -stdout >";
    return 0;
}

int ElementWriter::write_version_block(const OrderedEntry& entry) {
    if (!elementOpen_) {
        console_.print("\n\nERROR:  Element Information must be written before Version information \n\n");
        return -1;
    }
    std::string_view path = part_path(entry);
    const std::string& versionId = settings_.corvane() ? entry.revision.revisionname : entry.version.id;
    if (path.empty() || versionId.empty()) {
        console_.print("\n\nERROR:  Version has no part path or version identifier\n\n");
        return -1;
    }
    std::string command;
    if (int rc = compose_extract_command(entry, command); rc != 0) return rc;

    std::string block = "VERSION_BEGIN\n" + encode_text_line("VersionId", versionId) +
                        event_lines(entry.changeTime) + encode_text_line("ExtractCmd", command);

    // Every version of a part has the part's directories: they are noted once.
    if (path != directoriesDoneFor_) {
        defer_part_directories(path);
        directoriesDoneFor_ = path;
    }
    std::string_view prefix = branch_prefix();
    if (entry.onbranch || !entry.branchPath.empty()) {
        block += encode_text_line("OnBranch", branch_form(entry.branchPath, prefix));
        // Every name of the path is a branch type; under "-since" the versions that
        // would have declared an outer one may all be left out.
        for (std::size_t at = entry.branchPath.find('/'); at != std::string::npos;
             at = entry.branchPath.find('/', at + 1))
            defer(Declaration::BranchType, std::string_view(entry.branchPath).substr(0, at));
        defer(Declaration::BranchType, entry.branchPath);
    }
    for (const std::string& name : entry.subbranches) {
        if (name == entry.branchPath) continue;
        std::string value = name.find(prefix) == std::string::npos ? std::string(prefix) + name : name;
        block += encode_text_line("SubBranch", value);
    }
    for (const std::string& label : entry.labels) {
        std::string name = (settings_.corvane() ? "CVN-" : "VANDOR-") + label;
        block += encode_text_line("Label", name);
        defer(Declaration::LabelType, name);
    }
    block += "VERSION_END\n";
    element_ += block;
    ++versionCount_;
    if (element_.size() >= kElementSpill) {
        // A long element goes out in pieces; a failure before its end cuts the file
        // back to where the element began.
        if (int rc = write_to(versions_, element_); rc != 0) return rc;
        element_.clear();
        elementSpilled_ = true;
    }
    return 0;
}

int ElementWriter::write_element_end() {
    if (!elementOpen_) return -1;
    lastElement_.declarations.clear();
    for (const auto& [kind, name] : pending_) lastElement_.declarations.emplace_back(static_cast<char>(kind), name);
    if (int rc = declare_pending(); rc != 0) {
        discard_element();
        return rc;
    }
    element_ += "ELEMENT_END\n";
    elementOpen_ = false;
    int rc = write_to(versions_, element_);
    lastElement_.versions = versionCount_ - versionsBefore_;
    lastElement_.text = std::move(element_);
    if (elementSpilled_ && rc == 0) {
        // A long element went out in pieces: the whole of it is read back from the file.
        std::ifstream written(kVersionsScratchFile);
        written.seekg(static_cast<std::streamoff>(elementStart_));
        lastElement_.text.assign(std::istreambuf_iterator<char>(written), {});
    }
    element_.clear();
    elementSpilled_ = false;
    return rc;
}

bool ElementWriter::keep_saved_file(const char* scratchFile, const char* savedFile) {
    std::string why;
    if (!platform::sync_file(scratchFile, why) || !platform::replace_file(scratchFile, savedFile, &why) ||
        !platform::sync_folder_of(savedFile, why)) {
        console_.print("\n\nERROR:  Can't keep the saved file %s: %s\n\n", savedFile, why.c_str());
        return false;
    }
    ctx_.scratch.keep(scratchFile);
    return true;
}

int ElementWriter::combine_export_files() {
    if (elementOpen_) {
        report_unended_element();
        return -1;
    }
    if (writeFailed_) {
        console_.print(
            "\n\nERROR:  A write to the export's scratch files failed: they cannot be "
            "combined\n\n");
        return -1;
    }
    int closed = 0;
    if (headerWritten_) {
        // The types section is closed whole even when no type was declared.
        closed = begin_types();
        if (closed == 0) closed = write_to(labels_, "TYPES_END\n");
    }
    if (labels_.is_open()) labels_.close();
    if (closed != 0) return -1;

    std::string output = settings_.outputFileName.empty() ? kDefaultPartsExportFile : settings_.outputFileName;
    OutputFile out(output, &ctx_.scratch);
    if (!out.open(std::ios::out | std::ios::binary)) {
        console_.print("\n\nCan't Open Export Output File: %s - Exiting\n\n", output.c_str());
        console_.print("   %s\n\n", out.failure().c_str());
        return -1;
    }

    // Only scratch files of this run count: one left by an earlier run is not ours.
    if (!append_scratch(console_, out.stream(), labelsOpened_, kLabelsScratchFile,
                        "\n\nERROR:\t No Label Information Found in File: ", "Labels"))
        return -1;

    int result = 0;
    if (!dirsOpened_) result = declare_directory(".");
    if (dirs_.is_open()) dirs_.close();
    if (!append_scratch(console_, out.stream(), dirsOpened_, kDirsScratchFile,
                        "\n\nERROR:\tNo Directory Information Found in File: ", "Directories"))
        return -1;

    if (versions_.is_open()) versions_.close();
    if (!append_scratch(console_, out.stream(), versionsOpened_, kVersionsScratchFile,
                        "\n\nERROR:  No Versions Information Found in File: ", "Versions"))
        return -1;
    auto output_failed = [&]() {
        console_.print("\n\nCan't Open Export Output File: %s - Exiting\n\n", output.c_str());
        console_.print("   %s\n\n", out.failure().c_str());
        return -1;
    };
    // Every byte is written before anything goes in place: a write that fails (a full
    // disk, a size limit) leaves the earlier saved files and export file as they were.
    if (!out.stream().flush()) return output_failed();
    // The saved files go in place first: an export file must never stand beside the
    // saved files of an earlier run, which tagsmith would then read.
    if (!keep_saved_file(kLabelsScratchFile, kSavedLabelsFile) || !keep_saved_file(kDirsScratchFile, kSavedDirsFile))
        return -1;
    ctx_.scratch.remove(kVersionsScratchFile);
    if (!out.commit()) return output_failed();
    // Everything is closed and handed over: a later export starts from the beginning.
    labelsOpened_ = dirsOpened_ = versionsOpened_ = false;
    headerWritten_ = typesBegun_ = false;
    directoriesDoneFor_.clear();
    return result;
}
