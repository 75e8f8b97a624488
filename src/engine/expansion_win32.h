// Expansion of one stored file at a time, with the contract of the platform's
// LZ library: open an expansion on a source file, read a chunk or copy all,
// close. Input that is not SZDD passes through unchanged; an SZDD stream
// yields exactly its declared length, and one that ends early is a failure.
// Results are 0 (or a byte count) on success, else an SZDD_* failure.
#pragma once
#include <windows.h>
#include "engine/szdd.h"

// Takes ownership of `source`: ExpansionClose closes it, also after a failure.
int ExpansionOpen(HANDLE source);
int ExpansionRead(unsigned char* buffer, unsigned count);
int ExpansionCopy(HANDLE destination);
void ExpansionClose();
// Whether the expansions opened from now on keep the CRC-32 of their bytes.
void ExpansionKeepCrc(int on);
// The CRC-32 of the bytes the expansion has delivered so far, when kept.
unsigned ExpansionCrc();

// The recorded checksum of the next file to be expanded, from the installer's
// table of payload checksums (none: nothing is checked). In resource mode the
// record is found by `resourceId`, in disk mode by the disk being installed
// and `sourceName`.
void ExpectPayloadCrc(unsigned resourceId, const char* sourceName);
// After a completed expansion: whether its bytes match the checksum expected
// for it (true when none is). Either way the expectation is used up.
int ExpansionMatchesRecord();
