// ombrane-batch --rewind-check: a cheap test of determinism. After a run has
// reached its last step, go back to an earlier step and run on to the same
// end; the two ends must be the same in every byte of the model and of the
// report file.
#pragma once

// Runs the check on the run that has just ended at world.run.stepCount,
// with the report file (if any) as that run left it. Returns 1 when the ends
// agree; logs what differs and returns 0 otherwise.
int checkRewind(int step);
