// Revision SID and release lookups: one small server query each, for versions whose
// history rows lack the release an extract command needs.
#pragma once

#include <string>
#include <string_view>

#include "run_context.h"
#include "run_files.h"


/// `value` made safe inside a single-quoted SQL literal: single quotes doubled.
std::string sql_literal_text(std::string_view value);

/// The select command of lookup_revision_sid, answer redirected to "tmpsid000.raw".
/// Server values are quoted for SQL and the whole query for the command interpreter.
std::string compose_revision_sid_command(std::string_view revisionName, std::string_view partPath);
/// The Fileview report of lookup_sid_release, answer redirected to "tmprel000.raw".
std::string compose_sid_release_command(std::string_view sid, std::string_view partPath);

/// First server kind: the SID and release of a revision of a part. The client expects
/// "CVN_MIGRATE=1": the parts export runs every Corvane command from the first history
/// report on with it (ctx.shell is made so). 0, or -1 after the command failed (its
/// standard error printed), the answer file could not be opened, or held no answer.
int lookup_revision_sid(RunContext& ctx, const std::string& revisionName, const std::string& partPath,
                        std::string& sid, std::string& release);

/// Second server kind: the release of the version with `sid` of a part; `sidResult`
/// receives the SID. 0 or -1 as above.
int lookup_sid_release(RunContext& ctx, const std::string& sid, const std::string& partPath, std::string& release,
                       std::string& sidResult);
