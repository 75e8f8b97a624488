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
