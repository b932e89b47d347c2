// The progress line of long runs, on standard error when it is a terminal.
#pragma once

// Call with the steps done so far; draws at most a few times a second and
// nothing at all when standard error is not a terminal.
void showProgress(long done, long total);

// Clears the line, if one was drawn.
void endProgress();
