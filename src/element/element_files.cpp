// The element writer's scratch files: globals, type and directory declarations, and
// their joining into the export file and the saved files.
#include "element_writer.h"

#include <filesystem>
#include <iterator>

#include "output_file.h"
#include "platform.h"

namespace fs = std::filesystem;

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

/// Makes this run's scratch file `file` (recorded first, so that it goes however the run
/// ends) and opens it empty into `out`; false after the message naming `kind` when it
/// cannot be opened.
bool open_scratch(Console& console, ScratchFiles& scratch, std::ofstream& out, const char* file, const char* kind) {
    scratch.add(file);
    out.open(file, std::ios::out | std::ios::trunc);
    if (!out) console.print("\n\nERROR: Can't open %s File: %s\n\n", kind, file);
    return static_cast<bool>(out);
}

}  // namespace

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
        if (!open_scratch(console_, ctx_.scratch, labels_, kLabelsScratchFile, "Labels")) return -1;
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
        if (!open_scratch(console_, ctx_.scratch, dirs_, kDirsScratchFile, "Directories")) return -1;
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

int ElementWriter::open_versions() {
    if (versionsOpened_) return 0;
    if (!open_scratch(console_, ctx_.scratch, versions_, kVersionsScratchFile, "Versions")) return -1;
    versionsOpened_ = true;
    return 0;
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
