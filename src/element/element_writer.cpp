// The element import file writer: each part's element, begun, filled with its versions,
// ended, dropped or written again from a journal.
#include "element_writer.h"

#include <filesystem>
#include <iterator>

#include "output_file.h"
#include "platform.h"

namespace fs = std::filesystem;

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

