// Batches of records and their notes, fetched together.
#include "note_batcher.h"

#include <algorithm>

#include "fields.h"

namespace {

// Records whose note commands are handed to the interpreter at once. Their scratch
// files exist together, so the batch is small.
constexpr std::size_t kNotesBatch = 32;

// Scratch names compared as a file system that ignores letter case would see them.
bool same_scratch_file(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

NoteBatcher::NoteBatcher(RunContext& ctx, std::istream& raw, LoginMapper& logins,
                         std::vector<std::size_t> loginPositions)
    : ctx_(ctx),
      raw_(raw),
      logins_(logins),
      loginPositions_(std::move(loginPositions)),
      shell_(ctx.shell, ctx.settings.jobs),
      batchSize_(kNotesBatch * std::max<std::size_t>(shell_.width(), 1)),
      journaled_(ctx.journal ? ctx.journal->numbered("note") : std::map<std::size_t, JournalEntry>{}) {}

std::vector<PendingRecord> NoteBatcher::next() {
    std::vector<PendingRecord> batch;
    if (carried_) {
        batch.push_back(std::move(*carried_));
        carried_.reset();
    }
    std::string line;
    while (batch.size() < batchSize_ && rawLeft_) {
        if (!read_line(raw_, line)) {
            rawLeft_ = false;
            break;
        }
        std::vector<std::string> fields = split_fields(line);
        logins_.next_record();
        for (std::size_t pos : loginPositions_)
            if (pos < fields.size()) logins_.map(fields[pos]);
        NoteFetch fetch = plan_note_fetch(ctx_.settings, field_at(fields, 1));
        PendingRecord pending{std::move(fields), std::move(fetch), records_++};
        if (const auto at = journaled_.find(pending.index); at != journaled_.end()) {
            std::vector<std::string> earlier = ctx_.journal->fields(at->second);
            if (earlier.size() == 3 && earlier[1] == pending.fetch.recordId) pending.note = std::move(earlier[2]);
        }
        if (pending.fetches() && std::any_of(batch.begin(), batch.end(), [&](const PendingRecord& p) {
                return same_scratch_file(p.fetch.scratch, pending.fetch.scratch);
            })) {
            carried_ = std::move(pending);
            break;
        }
        batch.push_back(std::move(pending));
    }
    return batch;
}

std::vector<CallResult> NoteBatcher::fetch(const std::vector<PendingRecord>& batch) {
    std::vector<std::string> commands;
    for (const PendingRecord& pending : batch) {
        if (!pending.fetches()) continue;
        ctx_.scratch.add(pending.fetch.scratch);
        commands.push_back(pending.fetch.command);
    }
    return shell_.run_each(commands);
}

void NoteBatcher::journal_fetched(const std::vector<PendingRecord>& batch, const std::vector<CallResult>& results) {
    if (!ctx_.journal) return;
    std::size_t next = 0;
    std::string noteText;
    for (const PendingRecord& pending : batch) {
        if (!pending.fetches() || next >= results.size()) continue;
        if (results[next++].status == 0 && finish_note_fetch(ctx_, pending.fetch, 0, noteText) == 0)
            ctx_.journal->add("note", {std::to_string(pending.index), pending.fetch.recordId, noteText});
    }
    ctx_.journal->flush();
}
