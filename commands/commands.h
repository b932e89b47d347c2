// The commands that both programs and ombrane-batch share: Open with its
// extension rules, the names Save forms, New and Restart. They act on the
// world and the files; a window only asks for names and numbers and shows
// what these decide.
#pragma once

#include "core/world.h"

// What the dialogs fill in and the names the commands form.
struct CommandText {
    char chosenPath[PathSize];      // Open dialog's path; then Save's file name
    char chosenTitle[PathSize];     // Open dialog's file name
    char inputText[16];             // number typed into a number dialog
    char helpPath[PathSize];        // help file beside the program
};
extern CommandText commandText;

// The Open command after the file dialog: checks the name, reads the file,
// logs the outcome and forms the report-file name. A path whose report-file
// name would not fit PathSize is refused before reading, the file names left
// as they were. The earlier edition opens ".omxxb" snapshots here too (Save
// writes ".omb": a snapshot is only restored once renamed, so a stray save
// is never opened by mistake). The current edition opens ".scenario" files
// here too (scenario_command.h). Returns 1 when groups were read, 2 when a
// snapshot was restored, 0 otherwise. After 1, errorText is empty unless the
// file was read only in part (it then says why the rest was not read).
int openGroupsFile(const char* path, const char* name);

// Forms the Save command's file name in commandText.chosenPath, from the
// groups file ("Default.csv" when none), the step and the version, and
// returns it; null (with errorText set and logged) when it would not fit.
const char* saveFileName();

// Save in the current edition: names the file and says saving is to come.
void saveCommand();

// Save in the earlier edition: nothing without a groups file; otherwise a
// snapshot under the formed name. A failure is logged.
void saveSnapshotCommand();

// New forgets the groups file's name and report; Restart also asks the next
// tick to bring back the built-in groups, without the construction zone, or,
// after a scenario was opened, opens that scenario again.
void newCommand();
void restartCommand();

// Goes back to `step` (Backspace, Back to Step): logs "Back to step %d",
// cuts the report file after the lines written before that step, so running
// on appends the new future's lines, and pauses. A step that is not held
// (too old, not reached yet) is logged and changes nothing; the earlier
// edition keeps no history and ignores it. 1 when the run went back.
int backCommand(int step);

// Backspace: back one report period (80 steps unless column R says otherwise).
int backOnePeriodCommand();
