// The journal of a run as the driver handles it: made at the start of an export, checked
// against the run when it resumes, kept or removed at the end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "journal.h"
#include "run_settings.h"

/// What decides the files of an export, as name and value pairs in a fixed order: the
/// server (kind and family variable's value), the export kind and every option that
/// changes what is exported, with the contents of the files they name (as digests).
/// -jobs, -retries, -timeout, -progress and -partindex (which only batch the calls) and
/// -query (no effect) are not among them.
std::vector<std::pair<std::string, std::string>> describe_run(const RunSettings& settings,
                                                              const std::string& familyVariable,
                                                              const std::string& familyValue);

/// Opens the journal of an export in the current folder. With -resume: the earlier run's
/// journal, refused (false, after a message naming the difference) when there is none or
/// it is another run's. Without: a fresh one, after saying that an earlier one is
/// discarded; one that cannot be made is only warned about.
bool open_journal(Console& console, const RunSettings& settings, const std::string& familyVariable,
                  const std::string& familyValue, Journal& journal);

/// Ends the journal of an export that ended with `status`: removed when it succeeded and
/// left nothing undone, else kept with a line that says so.
void close_journal(Console& console, Journal& journal, int status);
