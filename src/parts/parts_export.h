// Entry of the parts export, and the closing steps its history paths share.
#pragma once

#include "element_writer.h"
#include "history_model.h"
#include "run_context.h"

/// The -parts export: checks that a release selection is given, records who exports,
/// keeps the previous raw part file as its backup, has the server list the selected
/// parts into the raw part file (unless "-infile" names one) and runs the history path
/// of the server kind. 0 on success, otherwise the failing step's status. With
/// -verify it writes nothing but the raw part file and checks that file's elements
/// against the parts' histories instead.
int export_parts(RunContext& ctx);

/// Moves "partsRawFile000.raw" of an earlier run to "partsRawFile000.raw0" and says so;
/// an older backup is held aside as kHeldRawPartBackup until keep_raw_part_backup. 1
/// when the file was moved; 0 when there is none or the rename fails (nothing changes).
int backup_raw_part_file(Console& console);

/// After the selection: drops the held older backup; or, with `restore` (the selection
/// failed or yields nothing), removes the new raw part file and, when the earlier one was
/// moved (`rotated`), puts it and the held backup back in their places.
void keep_raw_part_backup(ScratchFiles& scratch, bool rotated, bool restore);

/// Combines the export files, releases the history model and prints the totals. 0, or
/// -1 after its message when the files cannot be combined.
int finish_parts_export(ElementWriter& writer, HistoryModel& model, Console& console);

/// Says that the file -verify names is one the run writes (`clash`).
void report_verify_clash(Console& console, const std::string& file, const std::string& clash);

/// Prints the versions and parts written in the whole run; 0.
int print_export_totals(const ElementWriter& writer, Console& console);
