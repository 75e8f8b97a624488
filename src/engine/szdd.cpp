#include "engine/szdd.h"
#include "engine/payload_crc.h"
#include "platform/text.h"
#include "resources/kivformat.h"

namespace {

const unsigned char SzddMagic[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
const unsigned WindowMask = KIV_SZDD_WINDOW - 1;
// Largest count one call delivers, so that every result fits an int.
const unsigned LargestCount = 0x7FFFFFFFu;

int Fail(SzddExpander* e, int status)
{
    e->Status = status;
    return status;
}

// Keeps the unread input, moves it to the front of the buffer and reads
// until at least `want` bytes are there or the source has ended.
int FillInput(SzddExpander* e, unsigned want)
{
    unsigned left = e->InputLength - e->InputPosition;
    for (unsigned i = 0; i < left; ++i) e->Input[i] = e->Input[e->InputPosition + i];
    e->InputPosition = 0;
    e->InputLength = left;
    while (!e->SourceEnded && e->InputLength < want) {
        unsigned room = SZDD_INPUT_SIZE - e->InputLength;
        unsigned got = e->Read(e->Context, e->Input + e->InputLength, room);
        if (got == SZDD_SOURCE_ERROR || got > room) return Fail(e, SZDD_READ_FAULT);
        if (got == 0) e->SourceEnded = 1;
        e->InputLength += got;
    }
    return 0;
}

const unsigned HistorySize = KIV_SZDD_WINDOW + SZDD_STRETCH;
static_assert(SZDD_STRETCH % KIV_SZDD_WINDOW == 0, "a slide keeps window positions");
// The window position of History[i] is (i - HistoryShift) mod the window: the
// first byte expanded goes to History[KIV_SZDD_WINDOW], window position 4080.
const unsigned HistoryShift = KIV_SZDD_WINDOW - KIV_SZDD_START_POSITION;

// A whole group is expanded without checks when the input holds one (a
// control byte and eight matches) and 7 bytes more, for the word-wise copy of
// literals, and the output has room for eight of the longest matches and the
// 6 bytes that the words of a last one of them may write beyond its end.
const unsigned FastInput = 1 + 8 * 2 + 7;
const unsigned FastOutput = 8 * KIV_SZDD_MAX_MATCH + 6;

// How far back a match at `windowPosition` starts, 1 to KIV_SZDD_WINDOW (a
// match at the write position itself reaches back a whole window).
inline unsigned Distance(unsigned historyPosition, unsigned windowPosition)
{
    return ((historyPosition - HistoryShift - windowPosition - 1) & WindowMask) + 1;
}

// For a match d < 8 bytes back: the least multiple of d that is 8 or more.
// Output repeats with period d from d bytes before the match on, so a word
// that far back is final and equal.
const unsigned char PatternStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};

inline void Copy8(unsigned char* d, const unsigned char* s)
{
    unsigned long long word;
    __builtin_memcpy(&word, s, 8);
    __builtin_memcpy(d, &word, 8);
}

// Produces exactly `count` bytes (count <= Remaining) at HistoryPosition, where
// History has room for them.
int ExpandStretch(SzddExpander* e, unsigned count)
{
    unsigned char* h = e->History;
    const unsigned start = e->HistoryPosition;
    const unsigned end = start + count;
    unsigned w = start;

    for (; e->MatchLength && w < end; ++w, --e->MatchLength) h[w] = h[w - e->MatchDistance];

    unsigned control = e->Control;
    int status = 0;
    while (w < end) {
        unsigned available = e->InputLength - e->InputPosition;
        if (available < FastInput && !e->SourceEnded) {
            status = FillInput(e, FastInput);
            if (status) break;
            available = e->InputLength;
        }
        const unsigned char* in = e->Input + e->InputPosition;
        if (control == 1 && available >= FastInput && end - w >= FastOutput) {
            // Whole groups, as long as input and room last. A run of literals
            // is copied a word at a time; so is a match that starts 8 bytes
            // back or more, in three words (it may write past its end, where
            // the next item writes). A closer match repeats a pattern.
            const unsigned char* lastGroup = in + (available - FastInput);
            const unsigned lastW = end - FastOutput;
            do {
                unsigned bits = *in++, items = 8;
                for (;;) {
                    if (bits & 1) {
                        unsigned run = (unsigned)__builtin_ctz(~bits | (1u << items));
                        Copy8(h + w, in);
                        w += run;
                        in += run;
                        bits >>= run;
                        items -= run;
                        if (!items) break;
                    }
                    unsigned d = Distance(w, in[0] | ((unsigned)(in[1] & 0xF0) << 4));
                    unsigned length = (in[1] & 0x0F) + KIV_SZDD_MIN_MATCH;
                    in += 2;
                    unsigned char* to = h + w;
                    const unsigned char* from = to - d;
                    if (d >= 8) {
                        Copy8(to, from);
                        Copy8(to + 8, from + 8);
                        Copy8(to + 16, from + 16);
                    } else {
                        // A pattern of period d: its first 8 bytes one by
                        // one, then words from a multiple of d back.
                        for (unsigned i = 0; i < 8; ++i) to[i] = from[i];
                        for (unsigned i = 8; i < length; i += 8) Copy8(to + i, to + i - PatternStep[d]);
                    }
                    w += length;
                    bits >>= 1;
                    if (!--items) break;
                }
            } while (in <= lastGroup && w <= lastW);
            e->InputPosition = (unsigned)(in - e->Input);
            continue;
        }
        // One item, with every check.
        if (control == 1) {
            if (available == 0) {
                status = Fail(e, SZDD_INVALID_DATA);
                break;
            }
            control = 0x100u | *in++;
            --available;
            ++e->InputPosition;
        }
        if (control & 1) {
            if (available == 0) {
                status = Fail(e, SZDD_INVALID_DATA);
                break;
            }
            h[w++] = *in;
            ++e->InputPosition;
        } else {
            if (available < 2) {
                status = Fail(e, SZDD_INVALID_DATA);
                break;
            }
            unsigned d = Distance(w, in[0] | ((unsigned)(in[1] & 0xF0) << 4));
            unsigned length = (in[1] & 0x0F) + KIV_SZDD_MIN_MATCH;
            e->InputPosition += 2;
            unsigned now = end - w < length ? end - w : length;
            for (unsigned i = 0; i < now; ++i, ++w) h[w] = h[w - d];
            // A match that the stretch cuts is finished by the next call.
            e->MatchDistance = d;
            e->MatchLength = length - now;
        }
        control >>= 1;
    }
    e->Control = control;
    e->HistoryPosition = w;
    e->Remaining -= w - start;
    e->Produced += w - start;
    if (e->KeepsCrc) e->Crc = Crc32Update(e->Crc, h + start, w - start);
    return status;
}

// Room to expand into: when History is full, its last window's worth moves to
// the front. Returns the first free position.
unsigned MakeRoom(SzddExpander* e)
{
    if (e->HistoryPosition == HistorySize) {
        __builtin_memcpy(e->History, e->History + SZDD_STRETCH, KIV_SZDD_WINDOW);
        e->HistoryPosition = KIV_SZDD_WINDOW;
    }
    return e->HistoryPosition;
}

// Pass-through: what the header read left in the input buffer, then the
// source straight into `out`.
int PassThrough(SzddExpander* e, unsigned char* out, unsigned count)
{
    unsigned produced = 0;
    unsigned buffered = e->InputLength - e->InputPosition;
    if (buffered) {
        if (buffered > count) buffered = count;
        MemoryCopy(out, e->Input + e->InputPosition, buffered);
        e->InputPosition += buffered;
        produced = buffered;
    }
    while (produced < count && !e->SourceEnded) {
        unsigned got = e->Read(e->Context, out + produced, count - produced);
        if (got == SZDD_SOURCE_ERROR || got > count - produced) return Fail(e, SZDD_READ_FAULT);
        if (got == 0) e->SourceEnded = 1;
        produced += got;
    }
    e->Produced += produced;
    if (e->KeepsCrc) e->Crc = Crc32Update(e->Crc, out, produced);
    return (int)produced;
}

} // namespace

int SzddOpen(SzddExpander* e, SzddReadFunction read, void* context)
{
    e->Read = read;
    e->Context = context;
    e->Status = 0;
    e->IsSzdd = 0;
    e->SourceEnded = 0;
    e->LastCharacter = 0;
    e->ExpandedLength = 0;
    e->Remaining = 0;
    e->Produced = 0;
    e->KeepsCrc = 0;
    e->Crc = PAYLOAD_CRC_START;
    e->HistoryPosition = KIV_SZDD_WINDOW;
    e->Control = 1;
    e->MatchDistance = 0;
    e->MatchLength = 0;
    e->InputPosition = 0;
    e->InputLength = 0;
    int status = FillInput(e, KIV_SZDD_HEADER_SIZE);
    if (status) return status;
    if (e->InputLength < KIV_SZDD_HEADER_SIZE) return 0;
    const unsigned char* h = e->Input;
    for (unsigned i = 0; i < sizeof SzddMagic; ++i)
        if (h[i] != SzddMagic[i]) return 0;
    if (h[8] != KIV_SZDD_MODE_A) return Fail(e, SZDD_UNKNOWN_MODE);
    e->IsSzdd = 1;
    e->LastCharacter = h[9];
    e->ExpandedLength = h[10] | (unsigned)h[11] << 8 | (unsigned)h[12] << 16 | (unsigned)h[13] << 24;
    e->Remaining = e->ExpandedLength;
    e->InputPosition = KIV_SZDD_HEADER_SIZE;
    for (unsigned i = 0; i < KIV_SZDD_WINDOW; ++i) e->History[i] = ' ';
    return 0;
}

int SzddRead(SzddExpander* e, unsigned char* out, unsigned count)
{
    if (e->Status) return e->Status;
    if (count > LargestCount) count = LargestCount;
    if (!e->IsSzdd) return PassThrough(e, out, count);
    if (count > e->Remaining) count = e->Remaining;
    // Expanded into the history and copied out from there.
    for (unsigned done = 0; done < count;) {
        unsigned start = MakeRoom(e);
        unsigned n = HistorySize - start;
        if (n > count - done) n = count - done;
        int status = ExpandStretch(e, n);
        if (status) return status;
        // The compiler's own block copy (the installer's runtime provides it).
        __builtin_memcpy(out + done, e->History + start, n);
        done += n;
    }
    return (int)count;
}

int SzddCopy(SzddExpander* e, SzddWriteFunction write, void* context)
{
    if (e->Status) return e->Status;
    if (!e->IsSzdd) {
        // The input buffer doubles as the copy buffer.
        for (;;) {
            if (e->InputPosition == e->InputLength) {
                if (e->SourceEnded) return 0;
                e->InputPosition = e->InputLength = 0;
                int status = FillInput(e, SZDD_INPUT_SIZE);
                if (status) return status;
            }
            unsigned n = e->InputLength - e->InputPosition;
            if (write(context, e->Input + e->InputPosition, n) != n) return Fail(e, SZDD_WRITE_FAULT);
            if (e->KeepsCrc) e->Crc = Crc32Update(e->Crc, e->Input + e->InputPosition, n);
            e->InputPosition += n;
            e->Produced += n;
        }
    }
    // SZDD: expand into the history and write each stretch from there.
    while (e->Remaining) {
        unsigned start = MakeRoom(e);
        unsigned n = HistorySize - start;
        if (n > e->Remaining) n = e->Remaining;
        int status = ExpandStretch(e, n);
        if (status) return status;
        if (write(context, e->History + start, n) != n) return Fail(e, SZDD_WRITE_FAULT);
    }
    return 0;
}

void SzddKeepCrc(SzddExpander* e) { e->KeepsCrc = 1; }

unsigned SzddCrc(const SzddExpander* e) { return PayloadCrcFinal(e->Crc); }

void SzddClose(SzddExpander* e)
{
    e->Read = 0;
    e->Context = 0;
}

void SzddMemorySourceInit(SzddMemorySource* source, const unsigned char* data, unsigned size)
{
    source->Data = data;
    source->Size = size;
    source->Position = 0;
}

unsigned SzddReadMemory(void* context, unsigned char* buffer, unsigned count)
{
    SzddMemorySource* source = (SzddMemorySource*)context;
    unsigned left = source->Size - source->Position;
    if (count > left) count = left;
    MemoryCopy(buffer, source->Data + source->Position, count);
    source->Position += count;
    return count;
}

unsigned SzddExpandedSize(const unsigned char* data, unsigned size)
{
    if (size < KIV_SZDD_HEADER_SIZE) return size;
    for (unsigned i = 0; i < sizeof SzddMagic; ++i)
        if (data[i] != SzddMagic[i]) return size;
    return data[10] | (unsigned)data[11] << 8 | (unsigned)data[12] << 16 | (unsigned)data[13] << 24;
}

int SzddExpandMemory(const unsigned char* data, unsigned size, unsigned char* out,
                     unsigned capacity, unsigned* length)
{
    SzddMemorySource source;
    SzddMemorySourceInit(&source, data, size);
    SzddExpander e;
    int status = SzddOpen(&e, SzddReadMemory, &source);
    if (status) return status;
    unsigned needed = e.IsSzdd ? e.ExpandedLength : size;
    if (needed > capacity) return SZDD_NO_ROOM;
    unsigned done = 0;
    while (done < needed) {
        int n = SzddRead(&e, out + done, needed - done);
        if (n < 0) return n;
        if (n == 0) break;
        done += (unsigned)n;
    }
    *length = done;
    return 0;
}
