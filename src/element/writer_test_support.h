// Fakes and expected texts shared by the element writer's unit tests. Tests only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "shell.h"
#include "test_support.h"

namespace writer_test {

using FakeShell = test_support::FakeShell;

/// The global section as written from folder `cwd`.
inline std::string globals(const std::string& cwd, bool corvane) {
    return "EXPORT_FORMAT 5\nGLOBALS_BEGIN\nExportFromDir " + std::to_string(cwd.size()) + ":" + cwd +
           "\nNumElements 0\nNumVersions 0\n" +
           (corvane ? "ExporterKind 12\nNeedCmd 4:corv\n" : "ExporterKind 13\nNeedCmd 4:File\n") + "GLOBALS_END\n";
}

/// The event lines of the identity {"joe", "joe", "dev", "box"}, without the time.
inline constexpr const char* kIdentityLines = "EventUser 3:joe\nEventGroup 3:dev\nEventName 3:joe\nEventHost 3:box\n";

}  // namespace writer_test
