// Snapshot save-file of the earlier edition: a 64-byte header and fixed
// regions of the world, little-endian, 105088 bytes in all.
#pragma once

enum { SnapshotSize = 105088 };

// 1 on success; 0 with errorText set.
int saveSnapshot(const char* path);

// Checks the whole file before it touches the world; 1 on success, 0 with
// errorText set and the world unchanged.
int restoreSnapshot(const char* path);
