// Writes the header and the records of a tracking import file, one raw line at a time.
#include "import_file.h"

#include <filesystem>
#include <fstream>

#include "fields.h"
#include "record_notes.h"

void append_column(std::string& record, std::string_view value) {
    if (!record.empty()) record += ',';
    record += '"';
    record += double_quotes(value);
    record += '"';
}

std::string compose_header(const std::vector<std::string>& names) {
    std::string header;
    for (const std::string& name : names) append_column(header, name);
    header += '\n';
    return header;
}

int write_tracking_file(RunContext& ctx, const std::string& rawFileName,
                        const TrackingFileLayout& layout) {
    std::ifstream raw(rawFileName, std::ios::binary);
    if (!raw) {
        ctx.console.print(layout.missingInputMessage, rawFileName.c_str());
        return -1;
    }
    const std::string outputName = ctx.settings.outputFileName.empty()
                                       ? std::string(layout.defaultOutputName)
                                       : ctx.settings.outputFileName;
    // A text stream: on Windows every line end, those inside notes too, becomes CR LF.
    std::ofstream out(outputName, std::ios::trunc);
    if (!out) {
        ctx.console.print("\n\nCan't Open Export Output File: %s - Exiting\n\n",
                          outputName.c_str());
        return -1;
    }
    out << layout.header;
    ctx.console.print("\n\nGenerating Export File %s\n\n", outputName.c_str());
    ctx.console.flush();

    // One note command per record: the real interpreter is kept running for the series,
    // so a record costs the client call and not a new interpreter as well.
    const std::unique_ptr<Shell> series = ctx.shell.start_series();
    RunContext notesCtx{ctx.settings, ctx.identity, ctx.console, series ? *series : ctx.shell};

    int written = 0;
    std::string line;
    std::string record;
    std::string noteText;
    // Every raw line is one record, a blank line and an unended last line included;
    // each counts, so a file whose only record lacks a line end is kept.
    while (read_line(raw, line)) {
        const std::vector<std::string> fields = split_fields(line);
        record = layout.columns(fields);
        fetch_record_notes(notesCtx, field_at(fields, 1), noteText);
        record += ',';
        record += notes_column(noteText);
        record += '\n';
        out << record;
        ++written;
        ctx.console.print(layout.progressFormat, written);
    }
    out.close();
    if (!out) {
        // A full disk must not pass for a finished export.
        ctx.console.print("\n\nERROR: Could not write Export Output File: %s\n\n",
                          outputName.c_str());
        return -1;
    }
    if (written == 0) {
        std::error_code ignored;
        std::filesystem::remove(outputName, ignored);
    }
    raw.close();
    if (ctx.settings.inFile.empty()) {
        std::error_code ignored;
        std::filesystem::remove(rawFileName, ignored);
    }
    return 0;
}
