// Snapshot save-file of the earlier edition: a 64-byte header and fixed
// regions of the world, little-endian, 105088 bytes in all.
#pragma once

#include <cstddef>

enum { SnapshotSize = 105088 };

// How the words of a region are laid out in the file.
enum SnapshotKind {
    SnapshotText,       // bytes as they are (the header)
    SnapshotInts,       // 32-bit signed ints
    SnapshotCars,       // Car records, 9 words each
    SnapshotGroups,     // Group records, 25 words each
};

// One stretch of the world in file order; the table ends with a null location.
struct SnapshotRegion {
    void*        location;      // field of the world
    int          size;          // bytes in the file
    SnapshotKind kind;
    const char*  name;
};
extern const SnapshotRegion SnapshotRegions[];
enum { SnapshotRegionCount = 10 };  // header included, terminator not

// 1 on success; 0 with errorText set.
int saveSnapshot(const char* path);

// Checks the whole file before it touches the world; 1 on success, 0 with
// errorText set and the world unchanged.
int restoreSnapshot(const char* path);

