// What the tick hands to the rest of the system: report text to write and
// events to watch. Each is a pointer whoever owns that concern sets once at
// start-up; null by default, so the core neither writes files nor knows who
// watches.
#pragma once

// Writes report text (header or line) to the report file at `path`, opened
// with fopen's `mode`. While it is null, report lines are still formed for
// the title but written nowhere.
using ReportWriter = int (*)(const char* text, const char* path, const char* mode);
extern ReportWriter reportWriter;

// What the tick tells whoever watches the run as it goes (the live views of
// the window program, the measures of ombrane-batch): before and after every
// step an advancing tick makes, whatever the speed multiplier, every report
// point just made, a fresh start (cars placed, a groups file read), and a
// return to an earlier step (whose replay is not told step by step). The
// step, the averages and the cars are read from the world when told. Null by
// default: nobody is told, at no cost.
enum RunEvent { RunAboutToStep, RunStepped, RunReported, RunStartedAfresh, RunWentBack };
using RunObserver = void (*)(RunEvent event);
extern RunObserver runObserver;

// Tells the observer, if any.
void tellObserver(RunEvent event);
