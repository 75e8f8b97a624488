// The SZDD expander: an incremental decoder with the contract of the platform
// LZ library (open an expansion on a source, read a chunk, copy all, close).
//
//  offset size
//   0     8    magic: 53 5A 44 44 88 F0 27 33 ("SZDD" 88 F0 27 33)
//   8     1    mode, KIV_SZDD_MODE_A; any other mode is refused
//   9     1    last character of the original name (0: not recorded)
//  10     4    expanded length, little-endian
//  14     ...  groups of a control byte and up to eight items (see
//              resources/kivformat.h); the window is KIV_SZDD_WINDOW bytes of
//              spaces, written from KIV_SZDD_START_POSITION on.
//
// What the expander promises:
// - a source that is shorter than the header or does not start with the magic
//   is delivered unchanged, byte for byte;
// - an SZDD stream yields exactly the expanded length of its header; bytes
//   after that are ignored; a stream that ends before that is a failure
//   (SZDD_INVALID_DATA), never a short result;
// - nothing is read or written outside the expander and the caller's buffers.
//
// The expander allocates nothing: it is one plain record (about 85 KB), kept
// in a static by the installer (its stack is not probed page by page) and
// anywhere by the host tools. Failures are sticky: once a call has failed
// every later call returns the same failure.
#pragma once
#include "resources/kivformat.h"

// A source of bytes. Returns the number of bytes put into `buffer` (at most
// `count`), 0 at the end of the source, or SZDD_SOURCE_ERROR.
typedef unsigned (*SzddReadFunction)(void* context, unsigned char* buffer, unsigned count);
// A sink of bytes. Returns the number of bytes taken; fewer than `count` is a
// failure.
typedef unsigned (*SzddWriteFunction)(void* context, const unsigned char* data, unsigned count);

#define SZDD_SOURCE_ERROR 0xFFFFFFFFu

// Results of the operations: 0 or a byte count on success, else one of these.
#define SZDD_READ_FAULT (-1)   // the source reported an error
#define SZDD_INVALID_DATA (-2) // the stream ends before its declared length
#define SZDD_UNKNOWN_MODE (-3) // the header names a mode other than 0x41
#define SZDD_WRITE_FAULT (-4)  // the sink took fewer bytes than given
#define SZDD_NO_ROOM (-5)      // SzddExpandMemory: the output buffer is too small

#define SZDD_INPUT_SIZE 16384
// Bytes expanded between two slides of the history (a multiple of the
// window, so that window positions keep their place modulo the window).
#define SZDD_STRETCH (16 * KIV_SZDD_WINDOW)

struct SzddExpander {
    SzddReadFunction Read;
    void* Context;
    int Status;          // 0, or the sticky failure
    int IsSzdd;          // 0: pass-through
    int SourceEnded;     // the source has returned 0
    unsigned char LastCharacter;
    unsigned ExpandedLength;
    unsigned Remaining;  // bytes still to produce (SZDD)
    unsigned Produced;   // bytes delivered so far
    int KeepsCrc;        // SzddKeepCrc was called: Crc is kept
    unsigned Crc;        // running CRC-32 state of the bytes delivered (payload_crc.h)
    unsigned HistoryPosition; // where the next byte goes in History
    unsigned Control;    // control bits still unused, above a sentinel bit
    unsigned MatchDistance;
    unsigned MatchLength; // bytes of the current match not yet produced
    unsigned InputPosition;
    unsigned InputLength;
    unsigned char Input[SZDD_INPUT_SIZE];
    // The window laid out flat: the last KIV_SZDD_WINDOW bytes expanded (at
    // first the spaces of the initial window), then room for SZDD_STRETCH
    // more; when that is full, its last window's worth moves to the front.
    unsigned char History[KIV_SZDD_WINDOW + SZDD_STRETCH];
};

// Starts an expansion of the source. Reads the header (or what there is of
// one) and decides between SZDD and pass-through. Returns 0,
// SZDD_READ_FAULT or SZDD_UNKNOWN_MODE.
int SzddOpen(SzddExpander* expander, SzddReadFunction read, void* context);

// Delivers up to `count` bytes into `out`; returns their number, 0 at the end,
// or a failure. A result below `count` that is not 0 happens only at the end
// of the data: the next call returns 0.
int SzddRead(SzddExpander* expander, unsigned char* out, unsigned count);

// Writes everything that remains to `write`. Returns 0 or a failure; the
// bytes delivered are counted in `Produced`.
int SzddCopy(SzddExpander* expander, SzddWriteFunction write, void* context);

// After SzddOpen: keep the CRC-32 of every byte delivered from now on, as the
// bytes are produced, so a caller checks a whole stream without a second
// pass over it. Not kept unless asked for: it costs a table look-up a byte.
void SzddKeepCrc(SzddExpander* expander);
// The CRC-32 kept so far (that of no bytes when none is kept).
unsigned SzddCrc(const SzddExpander* expander);

// Forgets the source; the source itself belongs to the caller.
void SzddClose(SzddExpander* expander);

// A source over bytes in memory, for SzddOpen with SzddReadMemory.
struct SzddMemorySource {
    const unsigned char* Data;
    unsigned Size;
    unsigned Position;
};
void SzddMemorySourceInit(SzddMemorySource* source, const unsigned char* data, unsigned size);
unsigned SzddReadMemory(void* source, unsigned char* buffer, unsigned count);

// The number of bytes a whole buffer expands to: the declared length of an
// SZDD header, or `size` for anything else. Says nothing about validity.
unsigned SzddExpandedSize(const unsigned char* data, unsigned size);

// Expands a whole buffer into `out` (`capacity` bytes). Returns 0 and sets
// `*length`, or a failure (SZDD_NO_ROOM when the result does not fit; `out`
// is then left as it was). Keeps its expander on the stack, so it is meant
// for the host tools: the installer's stack is not probed page by page.
int SzddExpandMemory(const unsigned char* data, unsigned size, unsigned char* out,
                     unsigned capacity, unsigned* length);
