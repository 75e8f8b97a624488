// The SZDD expander and kivpack's compressor.
//
// The input is expanded as it stands, through sources that deliver it in
// chunks of varying size (chosen from a hash of the input) and into buffers
// of exactly the size asked for, so ASan sees any access outside them. The
// result is compared with a plain decoder written from the container's
// description: an SZDD stream yields exactly its declared length or fails
// with SZDD_INVALID_DATA, anything else passes through unchanged, and
// SzddRead, SzddCopy and SzddExpandMemory agree. A failing source or sink
// gives its own failure or the full result, never a short one.
//
// Then the input is compressed: the stream must expand to the input byte for
// byte, and be no larger than all literals would make it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/payload_crc.h"
#include "engine/szdd.h"
#include "fuzz_check.h"
#include "resources/kivformat.h"
#include "tools/kivpack/szdd_compress.h"

namespace {

typedef std::vector<uint8_t> Bytes;

const uint8_t kMagic[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};

struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return uint32_t(state >> 16);
    }
    // Mostly small counts, now and then large ones.
    unsigned Count(unsigned large)
    {
        uint32_t r = Next();
        switch (r & 3) {
        case 0: return 1;
        case 1: return 1 + (r >> 8) % 16;
        case 2: return 1 + (r >> 8) % 600;
        default: return 1 + (r >> 8) % large;
        }
    }
};

uint64_t Hash(const uint8_t* data, size_t size)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3ull;
    return h | 1;
}

// A source that hands out the bytes in random chunks and can fail at one of
// its calls (failAt, counted from 1; 0: never).
struct ChunkedSource {
    const uint8_t* data;
    size_t size;
    size_t position;
    Random random;
    unsigned calls;
    unsigned failAt;
};

unsigned ReadChunk(void* context, unsigned char* buffer, unsigned count)
{
    ChunkedSource* s = static_cast<ChunkedSource*>(context);
    if (++s->calls == s->failAt) return SZDD_SOURCE_ERROR;
    if (count == 0) return 0;
    unsigned n = s->random.Count(count);
    if (n > count) n = count;
    if (n > s->size - s->position) n = unsigned(s->size - s->position);
    std::memcpy(buffer, s->data + s->position, n);
    s->position += n;
    return n;
}

// No stream yields more than 18 bytes for each 2 of its data: a stream that
// goes on beyond that is making bytes up.
size_t MostExpanded(size_t size) { return size < KIV_SZDD_HEADER_SIZE ? size : 9 * size; }

struct Sink {
    Bytes bytes;
    unsigned calls;
    unsigned failAt;
    size_t most;
};

unsigned WriteAll(void* context, const unsigned char* data, unsigned count)
{
    Sink* s = static_cast<Sink*>(context);
    if (++s->calls == s->failAt) count /= 2;
    s->bytes.insert(s->bytes.end(), data, data + count);
    FUZZ_CHECK(s->bytes.size() <= s->most);
    return count;
}

// The container as its description reads, one item at a time. Returns
// whether the data yields the declared length; `out` gets what it yields.
bool ReferenceExpand(const uint8_t* d, size_t n, Bytes& out)
{
    uint32_t length = d[10] | uint32_t(d[11]) << 8 | uint32_t(d[12]) << 16 | uint32_t(d[13]) << 24;
    uint8_t window[KIV_SZDD_WINDOW];
    std::memset(window, ' ', sizeof window);
    unsigned w = KIV_SZDD_START_POSITION;
    size_t p = KIV_SZDD_HEADER_SIZE;
    out.clear();
    auto put = [&](uint8_t b) {
        window[w] = b;
        w = (w + 1) % KIV_SZDD_WINDOW;
        out.push_back(b);
    };
    while (out.size() < length) {
        if (p >= n) return false;
        unsigned control = d[p++];
        for (int item = 0; item < 8 && out.size() < length; ++item) {
            if (control >> item & 1) {
                if (p >= n) return false;
                put(d[p++]);
            } else {
                if (p + 1 >= n) return false;
                unsigned position = d[p] | (d[p + 1] & 0xF0u) << 4;
                unsigned count = (d[p + 1] & 0x0Fu) + KIV_SZDD_MIN_MATCH;
                p += 2;
                for (unsigned i = 0; i < count && out.size() < length; ++i)
                    put(window[(position + i) % KIV_SZDD_WINDOW]);
            }
        }
    }
    return true;
}

struct Expected {
    int status;
    Bytes bytes;
};

Expected Expect(const uint8_t* data, size_t size)
{
    Expected e{0, {}};
    if (size < KIV_SZDD_HEADER_SIZE || std::memcmp(data, kMagic, 8) != 0) {
        e.bytes.assign(data, data + size);
    } else if (data[8] != KIV_SZDD_MODE_A) {
        e.status = SZDD_UNKNOWN_MODE;
    } else if (!ReferenceExpand(data, size, e.bytes)) {
        e.status = SZDD_INVALID_DATA;
    }
    return e;
}

// SzddRead in chunks of random size, each into a buffer of exactly that size.
int ExpandByRead(const uint8_t* data, size_t size, uint64_t seed, unsigned failAt, Bytes& out)
{
    ChunkedSource source{data, size, 0, {seed}, 0, failAt};
    Random counts{seed * 3 + 1};
    SzddExpander e;
    out.clear();
    int status = SzddOpen(&e, ReadChunk, &source);
    if (status) return status;
    // Half the runs keep the CRC-32 of what is delivered; the other half
    // must report that of no bytes.
    const bool keepCrc = seed & 1;
    if (keepCrc) SzddKeepCrc(&e);
    for (;;) {
        unsigned count = counts.Count(70000);
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[count]);
        int n = SzddRead(&e, buffer.get(), count);
        if (n < 0) {
            status = n;
            break;
        }
        FUZZ_CHECK(unsigned(n) <= count);
        out.insert(out.end(), buffer.get(), buffer.get() + n);
        FUZZ_CHECK(out.size() <= MostExpanded(size));
        if (n == 0) break;
        if (unsigned(n) < count) {
            // A short result is the end: the next call delivers nothing.
            FUZZ_CHECK(SzddRead(&e, buffer.get(), count) == 0);
            break;
        }
    }
    if (status) {
        // Failures are sticky.
        unsigned char byte;
        FUZZ_CHECK(SzddRead(&e, &byte, 1) == status);
    } else {
        FUZZ_CHECK(e.Produced == out.size());
        const unsigned crc = PayloadCrcFinal(Crc32Update(PAYLOAD_CRC_START, out.data(), unsigned(out.size())));
        FUZZ_CHECK(SzddCrc(&e) == (keepCrc ? crc : 0u));
    }
    SzddClose(&e);
    return status;
}

int ExpandByCopy(const uint8_t* data, size_t size, uint64_t seed, unsigned failAt, Sink& sink)
{
    ChunkedSource source{data, size, 0, {seed}, 0, failAt};
    SzddExpander e;
    int status = SzddOpen(&e, ReadChunk, &source);
    SzddKeepCrc(&e);
    if (!status) status = SzddCopy(&e, WriteAll, &sink);
    if (!status) {
        FUZZ_CHECK(e.Produced == sink.bytes.size());
        FUZZ_CHECK(SzddCrc(&e) == PayloadCrcFinal(Crc32Update(PAYLOAD_CRC_START, sink.bytes.data(),
                                                              unsigned(sink.bytes.size()))));
    }
    SzddClose(&e);
    return status;
}

void CheckExpansion(const uint8_t* data, size_t size, uint64_t seed)
{
    const Expected expected = Expect(data, size);

    Bytes read;
    int status = ExpandByRead(data, size, seed, 0, read);
    FUZZ_CHECK(status == expected.status);
    if (!status) FUZZ_CHECK(read == expected.bytes);

    Sink copy{{}, 0, 0, MostExpanded(size)};
    status = ExpandByCopy(data, size, seed ^ 0x9E3779B97F4A7C15ull, 0, copy);
    FUZZ_CHECK(status == expected.status);
    if (!status) FUZZ_CHECK(copy.bytes == expected.bytes);

    // A source or a sink that fails at some call.
    Random faults{seed + 7};
    unsigned failAt = 1 + faults.Next() % 6;
    status = ExpandByRead(data, size, seed + 1, failAt, read);
    FUZZ_CHECK(status == SZDD_READ_FAULT || status == expected.status);
    if (!status) FUZZ_CHECK(read == expected.bytes);
    Sink failing{{}, 0, failAt, MostExpanded(size)};
    status = ExpandByCopy(data, size, seed + 2, 0, failing);
    FUZZ_CHECK(status == SZDD_WRITE_FAULT || status == expected.status);
    if (!status) FUZZ_CHECK(failing.bytes == expected.bytes);

    unsigned declared = SzddExpandedSize(data, unsigned(size));
    if (expected.status == 0) FUZZ_CHECK(declared == expected.bytes.size());
    // Larger declared lengths than the data could ever yield fail anyway.
    if (declared <= 18 * size + 64) {
        // One byte of room less than declared is refused and leaves the
        // buffer alone; the declared room is enough for a valid stream.
        Bytes out(declared + 1, 0xA5);
        unsigned length = 0;
        if (declared > 0 && expected.status != SZDD_UNKNOWN_MODE) {
            FUZZ_CHECK(SzddExpandMemory(data, unsigned(size), out.data(), declared - 1, &length) ==
                       SZDD_NO_ROOM);
            FUZZ_CHECK(out == Bytes(declared + 1, 0xA5));
        }
        status = SzddExpandMemory(data, unsigned(size), out.data(), declared, &length);
        FUZZ_CHECK(status == expected.status);
        if (!status) FUZZ_CHECK(Bytes(out.begin(), out.begin() + length) == expected.bytes);
    }
}

void CheckRoundTrip(const uint8_t* data, size_t size, uint64_t seed)
{
    unsigned char last = size ? data[size - 1] : 0;
    Bytes packed;
    std::string error;
    FUZZ_CHECK(SzddCompress(data, size, last, packed, error));
    // All literals: the header, the bytes, one control byte per eight.
    FUZZ_CHECK(packed.size() <= KIV_SZDD_HEADER_SIZE + size + (size + 7) / 8);
    FUZZ_CHECK(std::memcmp(packed.data(), kMagic, 8) == 0);
    FUZZ_CHECK(packed[8] == KIV_SZDD_MODE_A && packed[9] == last);
    FUZZ_CHECK(SzddExpandedSize(packed.data(), unsigned(packed.size())) == size);

    Bytes reference;
    FUZZ_CHECK(ReferenceExpand(packed.data(), packed.size(), reference));
    FUZZ_CHECK(reference == Bytes(data, data + size));
    Bytes read;
    FUZZ_CHECK(ExpandByRead(packed.data(), packed.size(), seed, 0, read) == 0);
    FUZZ_CHECK(read == reference);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20)) return 0;
    uint64_t seed = Hash(data, size);
    CheckExpansion(data, size, seed);
    CheckRoundTrip(data, size, seed);
    return 0;
}
