#include "engine/szdd.h"
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

// Produces exactly `count` bytes (count <= Remaining) into `out` and the
// window. `out` may be the window itself at WindowPosition when the range
// does not wrap: every byte is then stored twice at the same place.
int ExpandInto(SzddExpander* e, unsigned char* out, unsigned count)
{
    unsigned char* window = e->Window;
    unsigned w = e->WindowPosition;
    unsigned produced = 0;

    while (e->MatchLength && produced < count) {
        unsigned char b = window[e->MatchPosition];
        e->MatchPosition = (e->MatchPosition + 1) & WindowMask;
        window[w] = b;
        w = (w + 1) & WindowMask;
        out[produced++] = b;
        --e->MatchLength;
    }

    unsigned control = e->Control;
    int status = 0;
    while (produced < count) {
        // An item needs at most three bytes: a control byte and a match.
        if (e->InputLength - e->InputPosition < 3 && !e->SourceEnded) {
            status = FillInput(e, 3);
            if (status) break;
        }
        const unsigned char* in = e->Input + e->InputPosition;
        unsigned available = e->InputLength - e->InputPosition;
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
            unsigned char b = *in;
            ++e->InputPosition;
            window[w] = b;
            w = (w + 1) & WindowMask;
            out[produced++] = b;
        } else {
            if (available < 2) {
                status = Fail(e, SZDD_INVALID_DATA);
                break;
            }
            unsigned position = in[0] | ((unsigned)(in[1] & 0xF0) << 4);
            unsigned length = (in[1] & 0x0F) + KIV_SZDD_MIN_MATCH;
            e->InputPosition += 2;
            unsigned now = count - produced;
            if (now > length) now = length;
            for (unsigned i = 0; i < now; ++i) {
                unsigned char b = window[position];
                position = (position + 1) & WindowMask;
                window[w] = b;
                w = (w + 1) & WindowMask;
                out[produced + i] = b;
            }
            produced += now;
            e->MatchPosition = position;
            e->MatchLength = length - now;
        }
        control >>= 1;
    }
    e->Control = control;
    e->WindowPosition = w;
    e->Remaining -= produced;
    e->Produced += produced;
    return status;
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
    e->WindowPosition = KIV_SZDD_START_POSITION;
    e->Control = 1;
    e->MatchPosition = 0;
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
    for (unsigned i = 0; i < KIV_SZDD_WINDOW; ++i) e->Window[i] = ' ';
    return 0;
}

int SzddRead(SzddExpander* e, unsigned char* out, unsigned count)
{
    if (e->Status) return e->Status;
    if (count > LargestCount) count = LargestCount;
    if (!e->IsSzdd) return PassThrough(e, out, count);
    if (count > e->Remaining) count = e->Remaining;
    int status = ExpandInto(e, out, count);
    return status ? status : (int)count;
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
            e->InputPosition += n;
            e->Produced += n;
        }
    }
    // SZDD: expand straight into the window, a stretch that does not wrap at
    // a time, and write the stretch from there.
    while (e->Remaining) {
        unsigned start = e->WindowPosition;
        unsigned n = KIV_SZDD_WINDOW - start;
        if (n > e->Remaining) n = e->Remaining;
        int status = ExpandInto(e, e->Window + start, n);
        if (status) return status;
        if (write(context, e->Window + start, n) != n) return Fail(e, SZDD_WRITE_FAULT);
    }
    return 0;
}

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
