// The SZDD expander against its contract and a reference decoder, and the
// compressor: round trips, exact match finding, and output sizes equal to
// the smallest possible, found by an independent exhaustive search.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>
#include "engine/szdd.h"
#include "resources/kivformat.h"
#include "tools/kivpack/szdd_compress.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Compress(const Bytes& data, unsigned char last = 0)
{
    Bytes out;
    std::string error;
    EXPECT_TRUE(SzddCompress(data.data(), data.size(), last, out, error)) << error;
    return out;
}

// Whole-buffer expansion; returns the status and fills `out` on success.
int ExpandWhole(const Bytes& packed, Bytes& out)
{
    out.assign(SzddExpandedSize(packed.data(), (unsigned)packed.size()), 0);
    unsigned length = 0;
    int status = SzddExpandMemory(packed.data(), (unsigned)packed.size(), out.data(),
                                  (unsigned)out.size(), &length);
    if (status == 0) out.resize(length);
    return status;
}

// A source that hands out at most `step` bytes per call, to reach every
// refill path of the expander.
struct DribbleSource {
    const Bytes* data;
    std::size_t position;
    unsigned step;
};

unsigned ReadDribble(void* context, unsigned char* buffer, unsigned count)
{
    DribbleSource* s = (DribbleSource*)context;
    std::size_t n = std::min<std::size_t>({count, s->step, s->data->size() - s->position});
    std::memcpy(buffer, s->data->data() + s->position, n);
    s->position += n;
    return (unsigned)n;
}

// Expansion by SzddRead in chunks of `chunk`, from a source that gives
// `step` bytes at a time. Returns the first failure, or 0.
int ExpandStreamed(const Bytes& packed, unsigned step, unsigned chunk, Bytes& out)
{
    DribbleSource source{&packed, 0, step};
    static SzddExpander e;
    out.clear();
    int status = SzddOpen(&e, ReadDribble, &source);
    if (status) return status;
    std::vector<unsigned char> buffer(chunk);
    for (;;) {
        int n = SzddRead(&e, buffer.data(), chunk);
        if (n < 0) return n;
        if (n == 0) return 0;
        EXPECT_LE((unsigned)n, chunk);
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
}

unsigned WriteToVector(void* context, const unsigned char* data, unsigned count)
{
    Bytes* out = (Bytes*)context;
    out->insert(out->end(), data, data + count);
    return count;
}

int ExpandCopied(const Bytes& packed, Bytes& out)
{
    SzddMemorySource source;
    SzddMemorySourceInit(&source, packed.data(), (unsigned)packed.size());
    static SzddExpander e;
    out.clear();
    int status = SzddOpen(&e, SzddReadMemory, &source);
    return status ? status : SzddCopy(&e, WriteToVector, &out);
}

// Compresses, checks the header, and expands by every route.
void ExpectRoundTrip(const Bytes& data, const std::string& what)
{
    SCOPED_TRACE(what);
    Bytes packed = Compress(data, 'T');
    ASSERT_GE(packed.size(), (std::size_t)KIV_SZDD_HEADER_SIZE);
    const unsigned char magic[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
    EXPECT_EQ(0, std::memcmp(packed.data(), magic, 8));
    EXPECT_EQ(KIV_SZDD_MODE_A, packed[8]);
    EXPECT_EQ('T', packed[9]);
    EXPECT_EQ(data.size(), (std::size_t)(packed[10] | packed[11] << 8 | packed[12] << 16 |
                                         (unsigned)packed[13] << 24));
    Bytes out;
    ASSERT_EQ(0, ExpandWhole(packed, out));
    EXPECT_TRUE(out == data) << "whole-buffer expansion differs";
    ASSERT_EQ(0, ExpandCopied(packed, out));
    EXPECT_TRUE(out == data) << "SzddCopy differs";
    ASSERT_EQ(0, ExpandStreamed(packed, 7, 1000, out));
    EXPECT_TRUE(out == data) << "streamed expansion differs";
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n, unsigned alphabet)
{
    Bytes b(n);
    for (auto& c : b) c = (unsigned char)(alphabet >= 256 ? rng() & 0xFF : 'a' + rng() % alphabet);
    return b;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SzddRoundTrip, SmallAndBoundaryInputs)
{
    ExpectRoundTrip({}, "empty");
    ExpectRoundTrip({'x'}, "one byte");
    ExpectRoundTrip({' '}, "one space");
    ExpectRoundTrip(Bytes(4096, ' '), "4096 spaces");
    ExpectRoundTrip(Bytes(4097, ' '), "4097 spaces");
    ExpectRoundTrip(FromText("   leading spaces then text"), "leading spaces");
    ExpectRoundTrip(Bytes(100000, 0), "long run of zeros");
    ExpectRoundTrip(Bytes(70000, 'A'), "long run of letters");
    std::mt19937 rng(1);
    for (std::size_t n : {15, 16, 17, 18, 19, 31, 32, 33, 4079, 4080, 4081, 4095, 4096, 4097, 4111,
                          4112, 4113, 8191, 8192, 8193}) {
        ExpectRoundTrip(RandomBytes(rng, n, 256), "random " + std::to_string(n));
        ExpectRoundTrip(RandomBytes(rng, n, 3), "3 letters " + std::to_string(n));
    }
}

TEST(SzddRoundTrip, StructuredAndRandomInputs)
{
    std::mt19937 rng(2);
    ExpectRoundTrip(RandomBytes(rng, 300000, 256), "random bytes");
    ExpectRoundTrip(RandomBytes(rng, 200000, 2), "two letters");
    Bytes periodic;
    for (int i = 0; i < 50000; ++i) periodic.push_back((unsigned char)(i % 4093));
    ExpectRoundTrip(periodic, "period just inside the window");
    Bytes far;
    for (int i = 0; i < 50000; ++i) far.push_back((unsigned char)((i % 4097) * 7));
    ExpectRoundTrip(far, "period just outside the window");
    Bytes mixed;
    for (int i = 0; i < 2000; ++i) {
        std::string line = "line " + std::to_string(i * 37 % 101) + std::string(i % 23, ' ') + "end\r\n";
        mixed.insert(mixed.end(), line.begin(), line.end());
        if (i % 50 == 0) {
            Bytes noise = RandomBytes(rng, 40, 256);
            mixed.insert(mixed.end(), noise.begin(), noise.end());
        }
    }
    ExpectRoundTrip(mixed, "text with noise");
}

TEST(SzddRoundTrip, RealFiles)
{
    Bytes sources;
    for (auto& entry : std::filesystem::recursive_directory_iterator(std::string(KIV_SOURCE_DIR) + "/src")) {
        if (!entry.is_regular_file()) continue;
        Bytes file = ReadFile(entry.path());
        ExpectRoundTrip(file, entry.path().string());
        sources.insert(sources.end(), file.begin(), file.end());
    }
    ExpectRoundTrip(sources, "all sources in one");
    for (const char* path : {"/bin/ls", "/bin/sh"})
        if (std::filesystem::exists(path)) ExpectRoundTrip(ReadFile(path), path);
    // Data that is already compressed.
    int gz = 0;
    for (auto& entry : std::filesystem::recursive_directory_iterator("/usr/share/doc")) {
        if (entry.path().extension() != ".gz" || !entry.is_regular_file()) continue;
        ExpectRoundTrip(ReadFile(entry.path()), entry.path().string());
        if (++gz == 3) break;
    }
    EXPECT_GT(gz, 0) << "no .gz file found to compress";
}

// The simplest reading of the format: the reference the expander must agree
// with. Returns false when the data ends before the declared length.
bool ReferenceExpand(const Bytes& packed, Bytes& out)
{
    unsigned length = packed[10] | packed[11] << 8 | packed[12] << 16 | (unsigned)packed[13] << 24;
    unsigned char window[4096];
    std::memset(window, ' ', sizeof window);
    unsigned w = 4080;
    std::size_t in = 14;
    out.clear();
    while (out.size() < length) {
        if (in >= packed.size()) return false;
        unsigned control = packed[in++];
        for (int bit = 0; bit < 8 && out.size() < length; ++bit) {
            if (control & (1 << bit)) {
                if (in >= packed.size()) return false;
                out.push_back(window[w] = packed[in++]);
                w = (w + 1) & 4095;
            } else {
                if (in + 1 >= packed.size()) return false;
                unsigned position = packed[in] | (packed[in + 1] & 0xF0) << 4;
                unsigned n = (packed[in + 1] & 0x0F) + 3;
                in += 2;
                for (unsigned i = 0; i < n && out.size() < length; ++i) {
                    out.push_back(window[w] = window[position]);
                    w = (w + 1) & 4095;
                    position = (position + 1) & 4095;
                }
            }
        }
    }
    return true;
}

Bytes Header(unsigned length, unsigned char mode = 0x41, unsigned char last = 0)
{
    return {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, mode, last, (unsigned char)length,
            (unsigned char)(length >> 8), (unsigned char)(length >> 16), (unsigned char)(length >> 24)};
}

TEST(SzddExpander, DecodesHandMadeStreams)
{
    // "abc", then a copy of nine from where 'a' was written (4080): it
    // overlaps its own output.
    Bytes blob = Header(12);
    for (int b : std::initializer_list<int>{0x07, 'a', 'b', 'c', 0xF0, 0xF6}) blob.push_back((unsigned char)b);
    Bytes out;
    ASSERT_EQ(0, ExpandWhole(blob, out));
    EXPECT_EQ("abcabcabcabc", std::string(out.begin(), out.end()));
    // Four spaces copied from the initial window, then the same pattern
    // starting at 4084; bytes after the declared length are ignored.
    blob = Header(16, 0x41, 'T');
    for (int b : std::initializer_list<int>{0x0E, 0x00, 0x01, 'a', 'b', 'c', 0xF4, 0xF6, 0xFF, 0x12, 0x34}) blob.push_back((unsigned char)b);
    ASSERT_EQ(0, ExpandWhole(blob, out));
    EXPECT_EQ("    abcabcabcabc", std::string(out.begin(), out.end()));
    SzddMemorySource source;
    SzddMemorySourceInit(&source, blob.data(), (unsigned)blob.size());
    static SzddExpander e;
    ASSERT_EQ(0, SzddOpen(&e, SzddReadMemory, &source));
    EXPECT_TRUE(e.IsSzdd);
    EXPECT_EQ('T', e.LastCharacter);
    EXPECT_EQ(16u, e.ExpandedLength);
    // Distance 4096 (position = write position) copies the byte about to be
    // overwritten: here a space of the initial window.
    blob = Header(5);
    for (int b : std::initializer_list<int>{0x01, 'x', 0xF1, 0xF1}) blob.push_back((unsigned char)b);
    ASSERT_EQ(0, ExpandWhole(blob, out));
    EXPECT_EQ("x    ", std::string(out.begin(), out.end()));
}

TEST(SzddExpander, TruncatedStreamFailsAtEveryCut)
{
    Bytes data = FromText("The quick brown fox jumps over the lazy dog; the quick brown fox again, "
                          "and once more the quick brown fox.");
    Bytes packed = Compress(data);
    for (std::size_t cut = 0; cut < packed.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Bytes part(packed.begin(), packed.begin() + cut), out;
        if (cut < KIV_SZDD_HEADER_SIZE) {
            // Too short to be SZDD: delivered as it is.
            ASSERT_EQ(0, ExpandWhole(part, out));
            EXPECT_TRUE(out == part);
            continue;
        }
        EXPECT_EQ(SZDD_INVALID_DATA, ExpandWhole(part, out));
        EXPECT_EQ(SZDD_INVALID_DATA, ExpandCopied(part, out));
        EXPECT_EQ(SZDD_INVALID_DATA, ExpandStreamed(part, 1, 5, out));
        EXPECT_LT(out.size(), data.size());
    }
}

TEST(SzddExpander, FailuresAreReportedAndSticky)
{
    Bytes packed = Compress(FromText("some text some text some text"));
    Bytes out;
    // Mode other than 'A'.
    Bytes bad = packed;
    bad[8] = 0x42;
    EXPECT_EQ(SZDD_UNKNOWN_MODE, ExpandWhole(bad, out));
    SzddMemorySource source;
    SzddMemorySourceInit(&source, bad.data(), (unsigned)bad.size());
    static SzddExpander e;
    EXPECT_EQ(SZDD_UNKNOWN_MODE, SzddOpen(&e, SzddReadMemory, &source));
    unsigned char buffer[64];
    EXPECT_EQ(SZDD_UNKNOWN_MODE, SzddRead(&e, buffer, sizeof buffer));

    // A declared length far beyond the data: a failure, never a short file.
    Bytes huge = packed;
    huge[13] = 0x7F;
    EXPECT_EQ(SZDD_NO_ROOM, SzddExpandMemory(huge.data(), (unsigned)huge.size(), buffer, sizeof buffer,
                                             nullptr));
    EXPECT_EQ(SZDD_INVALID_DATA, ExpandStreamed(huge, 4096, 65536, out));

    // A source that fails.
    struct Failing {
        static unsigned Read(void* context, unsigned char* b, unsigned n)
        {
            int* calls = (int*)context;
            if ((*calls)++ == 0) {
                std::memcpy(b, "SZDD\x88\xF0\x27\x33\x41\0\x40\0\0\0", 14);
                return 14;
            }
            return SZDD_SOURCE_ERROR;
        }
    };
    int calls = 0;
    ASSERT_EQ(0, SzddOpen(&e, Failing::Read, &calls));
    EXPECT_EQ(SZDD_READ_FAULT, SzddRead(&e, buffer, sizeof buffer));
    EXPECT_EQ(SZDD_READ_FAULT, SzddRead(&e, buffer, sizeof buffer));

    // A sink that takes less than it is given.
    SzddMemorySourceInit(&source, packed.data(), (unsigned)packed.size());
    ASSERT_EQ(0, SzddOpen(&e, SzddReadMemory, &source));
    auto refuse = [](void*, const unsigned char*, unsigned count) -> unsigned { return count - 1; };
    EXPECT_EQ(SZDD_WRITE_FAULT, SzddCopy(&e, refuse, nullptr));
}

TEST(SzddExpander, PassesOtherDataThrough)
{
    std::mt19937 rng(3);
    Bytes plain = RandomBytes(rng, 20000, 256);
    Bytes out;
    ASSERT_EQ(0, ExpandWhole(plain, out));
    EXPECT_TRUE(out == plain);
    ASSERT_EQ(0, ExpandStreamed(plain, 3, 777, out));
    EXPECT_TRUE(out == plain);
    ASSERT_EQ(0, ExpandCopied(plain, out));
    EXPECT_TRUE(out == plain);
    // One byte of the magic wrong: not SZDD, delivered unchanged.
    Bytes packed = Compress(FromText("abcabcabcabcabcabc"));
    for (int i = 0; i < 8; ++i) {
        Bytes wrong = packed;
        wrong[i] ^= 0x01;
        ASSERT_EQ(0, ExpandWhole(wrong, out));
        EXPECT_TRUE(out == wrong) << "magic byte " << i;
    }
    // The whole magic and mode but no length: shorter than a header.
    Bytes thirteen(packed.begin(), packed.begin() + 13);
    ASSERT_EQ(0, ExpandStreamed(thirteen, 1, 4, out));
    EXPECT_TRUE(out == thirteen);
}

TEST(SzddExpander, AgreesWithReferenceOnArbitraryStreams)
{
    // Random bodies: every control pattern, match position and length, and
    // streams that end anywhere; every tenth runs through the history's
    // slides.
    std::mt19937 rng(4);
    for (int round = 0; round < 3000; ++round) {
        bool long_ = round % 10 == 0;
        unsigned length = rng() % (long_ ? 100000 : 3000);
        Bytes packed = Header(length);
        Bytes body = RandomBytes(rng, rng() % (long_ ? 30000 : 1200), 256);
        packed.insert(packed.end(), body.begin(), body.end());
        Bytes expected, out;
        bool complete = ReferenceExpand(packed, expected);
        int status = ExpandStreamed(packed, 1 + rng() % 50, 1 + rng() % 600, out);
        if (complete) {
            ASSERT_EQ(0, status) << "round " << round;
            ASSERT_TRUE(out == expected) << "round " << round;
        } else {
            ASSERT_EQ(SZDD_INVALID_DATA, status) << "round " << round;
        }
        ASSERT_EQ(complete ? 0 : SZDD_INVALID_DATA, ExpandCopied(packed, out)) << "round " << round;
        if (complete) ASSERT_TRUE(out == expected) << "round " << round;
    }
}

TEST(SzddExpander, FarMatchesAcrossManyWindowTurns)
{
    // 4,096 random literals, then only matches that reach 4,096, 4,095 or
    // 4,090 bytes back, for many window turns: every byte comes from the
    // oldest end of the window.
    std::mt19937 rng(5);
    Bytes body;
    unsigned produced = 0, items = 0;
    std::size_t control = 0;
    auto item = [&](bool literal) {
        if (items % 8 == 0) {
            control = body.size();
            body.push_back(0);
        }
        if (literal) body[control] |= (unsigned char)(1 << (items % 8));
        ++items;
    };
    for (int i = 0; i < 4096; ++i, ++produced) {
        item(true);
        body.push_back((unsigned char)rng());
    }
    const unsigned distances[] = {4096, 4095, 4090};
    while (produced < 150000) {
        unsigned d = distances[rng() % 3], length = 3 + rng() % 16;
        unsigned position = (4080 + produced - d) & 4095;
        item(false);
        body.push_back((unsigned char)position);
        body.push_back((unsigned char)(((position >> 4) & 0xF0) | (length - 3)));
        produced += length;
    }
    Bytes packed = Header(produced);
    packed.insert(packed.end(), body.begin(), body.end());
    Bytes expected, out;
    ASSERT_TRUE(ReferenceExpand(packed, expected));
    ASSERT_EQ(0, ExpandWhole(packed, out));
    EXPECT_TRUE(out == expected) << "whole-buffer expansion differs";
    ASSERT_EQ(0, ExpandCopied(packed, out));
    EXPECT_TRUE(out == expected) << "SzddCopy differs";
    for (unsigned chunk : {1u, 777u, 31744u}) {
        ASSERT_EQ(0, ExpandStreamed(packed, 4096, chunk, out));
        EXPECT_TRUE(out == expected) << "streamed in chunks of " << chunk;
    }
}

// The 4,096 spaces of the initial window, then the data.
Bytes WithInitialWindow(const Bytes& data)
{
    Bytes text(4096 + data.size(), ' ');
    std::copy(data.begin(), data.end(), text.begin() + 4096);
    return text;
}

// Longest match at every position by brute force over every distance.
void BruteForceMatches(const Bytes& data, std::vector<unsigned>& longest)
{
    Bytes text = WithInitialWindow(data);
    longest.assign(data.size(), 0);
    for (std::size_t p = 0; p < data.size(); ++p) {
        std::size_t i = p + 4096;
        unsigned limit = (unsigned)std::min<std::size_t>(18, data.size() - p);
        unsigned best = 0;
        for (std::size_t d = 1; d <= 4096 && best < limit; ++d) {
            unsigned n = 0;
            while (n < limit && text[i - d + n] == text[i + n]) ++n;
            best = std::max(best, n);
        }
        longest[p] = best >= 3 ? best : 0;
    }
}

TEST(SzddCompressor, FindsTheLongestMatchEverywhere)
{
    std::mt19937 rng(5);
    std::vector<Bytes> inputs = {RandomBytes(rng, 9000, 2), RandomBytes(rng, 9000, 4),
                                 RandomBytes(rng, 6000, 256), Bytes(5000, ' '), FromText("  a  a   a    ")};
    Bytes spaced;
    for (int i = 0; i < 7000; ++i) spaced.push_back(rng() % 3 ? ' ' : (unsigned char)('a' + rng() % 3));
    inputs.push_back(spaced);
    for (auto& input : inputs) {
        std::vector<unsigned char> length;
        std::vector<unsigned short> distance;
        SzddFindMatches(input.data(), input.size(), length, distance);
        std::vector<unsigned> longest;
        BruteForceMatches(input, longest);
        Bytes text = WithInitialWindow(input);
        for (std::size_t p = 0; p < input.size(); ++p) {
            ASSERT_EQ(longest[p], length[p]) << "position " << p;
            if (!length[p]) continue;
            ASSERT_GE(distance[p], 1);
            ASSERT_LE(distance[p], 4096);
            for (unsigned n = 0; n < length[p]; ++n)
                ASSERT_EQ(text[p + 4096 - distance[p] + n], text[p + 4096 + n]) << "position " << p;
        }
    }
}

// The smallest stream for `data`, by a search over every parse that the
// decoder accepts, written straight from the decoder's rules: at each
// position every window position 0..4095 and every length 3..18 is tried by
// copying as the decoder copies (from the ring as it stands, reading bytes
// the same copy has just written), and the cost counts a control byte for
// every group of eight items begun. Memoised on (position, items mod 8).
std::size_t SmallestPossibleSize(const Bytes& data)
{
    const std::size_t n = data.size();
    // usable[p]: the longest length that some window position reproduces.
    std::vector<unsigned> usable(n, 0);
    unsigned char window[4096];
    std::memset(window, ' ', sizeof window);
    unsigned w = 4080;
    for (std::size_t p = 0; p < n; ++p) {
        unsigned limit = (unsigned)std::min<std::size_t>(18, n - p);
        for (unsigned position = 0; position < 4096; ++position) {
            unsigned char written[18];
            unsigned length = 0;
            while (length < limit) {
                unsigned from = (position + length) & 4095;
                unsigned offset = (from - w) & 4095; // slot written by this copy?
                unsigned char b = offset < length ? written[offset] : window[from];
                if (b != data[p + length]) break;
                written[length++] = b;
            }
            if (length >= 3) usable[p] = std::max(usable[p], length);
        }
        window[w] = data[p];
        w = (w + 1) & 4095;
    }
    std::vector<std::size_t> memo((n + 1) * 8, SIZE_MAX);
    std::function<std::size_t(std::size_t, unsigned)> cost = [&](std::size_t p, unsigned k) -> std::size_t {
        if (p == n) return 0;
        std::size_t& m = memo[p * 8 + k];
        if (m != SIZE_MAX) return m;
        std::size_t best = 1 + cost(p + 1, (k + 1) % 8);
        for (unsigned l = 3; l <= usable[p]; ++l) best = std::min(best, 2 + cost(p + l, (k + 1) % 8));
        return m = best + (k == 0);
    };
    return KIV_SZDD_HEADER_SIZE + cost(0, 0);
}

TEST(SzddCompressor, OutputIsTheSmallestPossible)
{
    std::mt19937 rng(6);
    std::vector<Bytes> inputs = {
        {},
        FromText("a"),
        FromText("   "),
        FromText("    "),
        FromText("abcabcabcabcabcabcabcabc"),
        FromText("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
        FromText("  x  x  x  x   xx   x    x"),
        FromText("the cat sat on the mat; the rat sat"),
        FromText("abababababababababababababababababab"),
        FromText("aXbXaXbXcaXbXaXbXc abcabcab"),
        Bytes(40, ' '),
    };
    for (int i = 0; i < 60; ++i) inputs.push_back(RandomBytes(rng, 1 + rng() % 40, 2 + rng() % 3));
    for (int i = 0; i < 20; ++i) {
        Bytes b = RandomBytes(rng, 1 + rng() % 36, 2);
        for (auto& c : b)
            if (c == 'b') c = ' ';
        inputs.push_back(b);
    }
    for (int i = 0; i < 20; ++i) {
        Bytes b;
        while (b.size() < 38) b.insert(b.end(), 1 + rng() % 9, (unsigned char)("a b"[rng() % 3]));
        inputs.push_back(b);
    }
    for (auto& input : inputs) {
        std::string what(input.begin(), input.end());
        Bytes packed = Compress(input);
        EXPECT_EQ(SmallestPossibleSize(input), packed.size()) << "'" << what << "'";
        Bytes out;
        ASSERT_EQ(0, ExpandWhole(packed, out)) << "'" << what << "'";
        EXPECT_TRUE(out == input) << "'" << what << "'";
    }
}

TEST(SzddCompressor, ReportsProgressInOrder)
{
    std::mt19937 rng(7);
    Bytes data = RandomBytes(rng, 3 << 20, 4);
    std::size_t last = 0, calls = 0;
    Bytes out;
    std::string error;
    ASSERT_TRUE(SzddCompress(data.data(), data.size(), 0, out, error, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(data.size(), total);
        EXPECT_GE(done, last);
        last = done;
        ++calls;
    }));
    EXPECT_GT(calls, 2u);
    EXPECT_EQ(data.size(), last);
}

} // namespace
