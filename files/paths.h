// Small text and path helpers shared by the groups reader and the report
// writer. Both builds treat "/" and "\" as folder separators, so a path gives
// the same file names whichever system reads it.
#pragma once

// The extension of the path's file name: from its last "." to the end, or the
// end of the path when the file name has no ".".
const char* pathExtension(const char* path);

// The file name of the path: what follows its last "/" or "\\", or all of it.
const char* fileNameOf(const char* path);

// Copies src into dst (size bytes) when it fits with its terminator and
// returns 1; otherwise leaves dst unchanged and returns 0. src may be dst.
int copyText(char* dst, int size, const char* src);

// Writes head (its first headLength characters), then middle, then tail into
// dst when the whole fits in size bytes with the terminator, and returns 1;
// otherwise leaves dst unchanged and returns 0. The inputs may overlap dst.
int joinText(char* dst, int size, const char* head, int headLength,
             const char* middle, const char* tail);
