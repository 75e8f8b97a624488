// Which file a stopped install run must delete so that no file assembled
// from appended parts stays behind half-assembled.
#pragma once
#include "script/installer_state.h"

// The file records of the disk walk, each disk's block locked (null with a
// count of 0 for a disk whose block is not available). The walk visits disk
// 0, 1, 2, ... and stops at the first disk without records.
struct WalkRecords {
    const FileRecord* Files[MaxDisks];
    unsigned FileCount[MaxDisks];
};

// A record's place in the walk.
struct WalkPosition {
    unsigned Disk;
    unsigned Index;
};

// Nonzero when the destination of `last`, the last record the stopped run
// fetched, is incomplete and is to be deleted; `finished` tells whether its
// transfer succeeded. Records name the same file when their directory kind
// and destination atom are equal (atoms are interned without regard to case).
int AppendedFileIsIncomplete(const WalkRecords& walk, WalkPosition last, int finished);
