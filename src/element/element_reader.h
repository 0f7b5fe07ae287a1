// A reader of the element import format of its own: it shares nothing with the writer
// but the format, so that what the writer wrote can be checked by something that did
// not write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history_model.h"  // NameSet

/// One version block as read; its values point into the text read.
struct ReadVersion {
    std::string_view id;
    bool onBranch = false;
    std::string_view branch;  // the OnBranch value
    std::vector<std::string_view> subBranches;
    std::vector<std::string_view> labels;
};

/// One element block as read.
struct ReadElement {
    std::string_view name;
    std::vector<ReadVersion> versions;
};

/// The label and branch type names a file declares.
struct DeclaredTypes {
    NameSet labels;
    NameSet branches;
};

/// What a text in the element import format holds, as far as it could be read.
struct ReadImport {
    std::optional<long long> numElements, numVersions, exporterKind;
    DeclaredTypes types;
    std::vector<ReadElement> elements;
    std::size_t versionCount = 0;
    /// Why reading stopped before the end ("line N: ..."); empty when all was read.
    std::string fault;
};

/// Reads the blocks of `text` (globals, types, directories, elements, in any order),
/// line ends LF or CR LF. A text value is exactly as long as its prefix says. Reading
/// stops at the first line that does not fit the format; the values point into `text`.
ReadImport read_import_text(std::string_view text);

