// The progress line: steps done, simulated time, speed and time left, redrawn
// in place on a terminal. Scripts and tests, whose standard error is a file or
// a pipe, see nothing of it.
#include "progress.h"

#include "core/platform.h"
#include "core/world.h"

#include "system.h"

#include <cstdio>

namespace {

constexpr unsigned RedrawMillis = 250;

struct Progress {
    int      checked;       // flag: whether standard error is a terminal is known
    int      terminal;      // flag
    int      drawn;         // flag: a line is on the screen
    unsigned startMillis;
    unsigned lastMillis;
    long     startDone;
} progress;

}  // namespace

void showProgress(long done, long total) {
    if (!progress.checked) {
        progress.checked = 1;
        progress.terminal = stderrIsTerminal();
        progress.startMillis = progress.lastMillis = MilliClock();
        progress.startDone = done;
    }
    if (!progress.terminal)
        return;
    unsigned now = MilliClock();
    if (now - progress.lastMillis < RedrawMillis)
        return;
    progress.lastMillis = now;
    double seconds = (now - progress.startMillis) / 1000.0;
    double stepsPerSecond = seconds > 0 ? (done - progress.startDone) / seconds : 0;
    double left = stepsPerSecond > 0 ? (total - done) / stepsPerSecond : 0;
    std::fprintf(stderr, "\r  step %ld of %ld, %.0f s simulated, %.1f M car-steps/s, %.0f s left  ",
                 done, total, double(done) / world.stepsPerSecond,
                 stepsPerSecond * world.carTotal / 1e6, left);
    std::fflush(stderr);
    progress.drawn = 1;
}

void endProgress() {
    if (!progress.drawn)
        return;
    std::fprintf(stderr, "\r%78s\r", "");
    std::fflush(stderr);
    progress.drawn = 0;
}
