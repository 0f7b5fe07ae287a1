// The element import format's lines, and the extract command of a version.
#include "element_writer.h"

#include "platform.h"

namespace {

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


}  // namespace

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
