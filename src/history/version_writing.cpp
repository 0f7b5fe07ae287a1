// The history step that writes one part's ordered versions: the SID and release of each
// branch point looked up on the server, then the element handed to the writer.
#include "revision_tree.h"

#include <string>
#include <vector>

#include "lookups.h"

namespace {

/// The release and SID of each version no part row names, from the server, in the order
/// the versions are written. -1 after the lookup's messages and the step's own line.
int look_up_branch_points(HistorySteps& s) {
    for (OrderedEntry& entry : s.model.ordered()) {
        if (corvane(s) && !entry.partRow) {
            if (lookup_revision_sid(*s.lookups, entry.revision.revisionname, entry.revision.nupathname,
                                    entry.lookedUpSid, entry.lookedUpRelease) != 0) {
                s.console.print("\n\nERROR:  Can't retrieve the SID and Release for Revision %s\n\n",
                                entry.revision.revisionname.c_str());
                return -1;
            }
        } else if (!corvane(s) && !entry.committedRow) {
            if (lookup_sid_release(*s.lookups, entry.version.sid, entry.version.pathname, entry.lookedUpRelease,
                                   entry.lookedUpSid) != 0) {
                s.console.print("\n\nERROR:  Can't retrieve the Release for file: %s and sid: %s\n\n",
                                entry.version.pathname.c_str(), entry.version.sid.c_str());
                return -1;
            }
        } else {
            continue;
        }
        entry.lookedUp = true;
    }
    return 0;
}

}  // namespace

int write_ordered_list(HistorySteps& s) {
    if (!s.sink.globals_written() && s.sink.write_globals() != 0) {
        s.console.print("\n\nERROR:\t Globals Not Written\n\n");
        return -1;
    }
    const std::vector<OrderedEntry>& ordered = s.model.ordered();
    if (ordered.empty()) {
        // Every version is older than "-since" (or none was marked): nothing to export.
        std::string path = s.model.revisions().empty()
                               ? std::string()
                               : std::string(s.model.roles().partPath(s.model.revisions().front()));
        if (s.settings.sinceDate.empty())
            s.console.print("\nNo versions of Part %s to export: nothing written\n", path.c_str());
        else
            s.console.print("\nNo versions of Part %s changed since %s: nothing written\n", path.c_str(),
                            s.settings.sinceDate.c_str());
        return 0;
    }
    if (s.lookups && look_up_branch_points(s) != 0) return -1;
    const OrderedEntry* header = &ordered.back();
    for (const OrderedEntry& entry : ordered) {
        const std::string* release = entry.partRow        ? &entry.partRow->releasename
                                     : entry.committedRow ? &entry.committedRow->releasename
                                                          : nullptr;
        if (release && !release->empty()) {
            header = &entry;
            break;
        }
    }
    if (int rc = s.sink.write_element_header(*header); rc != 0) return rc;
    for (const OrderedEntry& entry : ordered)
        if (int rc = s.sink.write_version_block(entry); rc != 0) return rc;
    return 0;
}
