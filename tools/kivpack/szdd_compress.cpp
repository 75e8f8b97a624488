#include "tools/kivpack/szdd_compress.h"
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <new>
#include "resources/kivformat.h"

// Two passes over each block. Match finding gives, for every position, the
// longest copy the decoder could make there; since any prefix of a match is
// a match too, all lengths from 3 to that longest are available, at the same
// distance. Then a shortest path over the block's positions, computed
// backwards, that counts every byte of the stream: one per literal, two per
// match, and one control byte for each group of eight items begun, the last
// partial group included. A forward walk along the chosen items then writes
// the stream. Match finding runs on across blocks (it needs only the last
// 4,096 bytes and the next 18), so a block's matches are those of the whole
// input, cut at the block's end.

namespace {

const unsigned Window = KIV_SZDD_WINDOW;
const unsigned MinMatch = KIV_SZDD_MIN_MATCH;
const unsigned MaxMatch = KIV_SZDD_MAX_MATCH;
// Bytes of slack after the data so that word-wise comparisons may read past
// the end; they never change a result because lengths are cut to the data.
const unsigned Slack = 32;

inline uint64_t Load64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Common prefix of a and b, at most `limit` (<= 18) bytes.
inline unsigned CommonLength(const unsigned char* a, const unsigned char* b, unsigned limit)
{
    unsigned n = 0;
    while (n < limit) {
        uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x) {
            n += (unsigned)__builtin_ctzll(x) >> 3;
            return n < limit ? n : limit;
        }
        n += 8;
    }
    return limit;
}


const uint64_t Empty = ~uint64_t(0);
const uint64_t Cycle = Window + 1; // distances 1..4096

// One binary search tree per leading pair of bytes over the positions of
// the last 4,096 bytes, ordered by the (up to 18) bytes that follow each
// position. Every position is inserted at the root by splitting the tree
// along its search path, so each node is newer than everything below it:
// a node too far back ends the walk, as all below it are farther still.
// The search path passes both neighbours of the new string in that order,
// and the longest common prefix with any string is found at one of them,
// so the longest match is exact. Of strings equal in all 18 bytes only
// the newest is kept: it serves every later position at least as well.
//
// Positions count the text the decoder sees: the initial window of 4,096
// spaces, then the data.
class MatchFinder {
public:
    MatchFinder() : root_(65536, Empty), children_(2 * Cycle, Empty) {}

    // Inserts positions [from, stop). `s` holds the text from position
    // `origin` on, at least 4,096 bytes before `from` (or from 0), up to
    // `end` (the end of the text, or 18 bytes past `stop` at least) and
    // Slack bytes more. The match at every position p >= `record` goes to
    // length[p - record] and distance[p - record].
    void Insert(const unsigned char* s, uint64_t origin, uint64_t from, uint64_t stop, uint64_t end,
                uint64_t record, unsigned char* length, unsigned short* distance,
                const SzddProgress& progress = SzddProgress())
    {
        uint64_t* son = children_.data();
        for (uint64_t i = from; i < stop && i + MinMatch <= end; ++i) {
            uint64_t left = end - i;
            unsigned limit = left < MaxMatch ? (unsigned)left : MaxMatch;
            const unsigned char* cur = s + (i - origin);
            unsigned key = cur[0] | (unsigned)cur[1] << 8;
            uint64_t match = root_[key];
            root_[key] = i;
            uint64_t cyclic = i % Cycle;
            uint64_t* smaller = son + 2 * cyclic;    // where the next smaller node goes
            uint64_t* larger = son + 2 * cyclic + 1; // where the next larger node goes
            unsigned smallerLength = 0, largerLength = 0;
            unsigned best = 0, bestDistance = 0;
            for (;;) {
                if (match == Empty || i - match > Window) {
                    *smaller = *larger = Empty;
                    break;
                }
                uint64_t delta = i - match;
                uint64_t slot = cyclic >= delta ? cyclic - delta : cyclic + Cycle - delta;
                uint64_t* pair = son + 2 * slot;
                const unsigned char* candidate = cur - delta;
                unsigned n = smallerLength < largerLength ? smallerLength : largerLength;
                n += CommonLength(candidate + n, cur + n, limit - n);
                if (n > best) {
                    best = n;
                    bestDistance = (unsigned)delta;
                }
                if (n == limit) {
                    // Equal as far as it matters: the new node takes its place.
                    *smaller = pair[0];
                    *larger = pair[1];
                    break;
                }
                if (candidate[n] < cur[n]) {
                    *smaller = match;
                    smaller = pair + 1;
                    match = *smaller;
                    smallerLength = n;
                } else {
                    *larger = match;
                    larger = pair;
                    match = *larger;
                    largerLength = n;
                }
            }
            if (i >= record && best >= MinMatch) {
                length[i - record] = (unsigned char)best;
                distance[i - record] = (unsigned short)bestDistance;
            }
            if (progress && ((i - from) & 0xFFFFF) == 0 && i >= record) progress(i - record, stop - record);
        }
    }

private:
    std::vector<uint64_t> root_;
    std::vector<uint64_t> children_; // [2c] smaller, [2c+1] larger
};

} // namespace

void SzddFindMatches(const unsigned char* data, std::size_t size, std::vector<unsigned char>& length,
                     std::vector<unsigned short>& distance, const SzddProgress& progress)
{
    length.assign(size, 0);
    distance.assign(size, 0);
    std::vector<unsigned char> text(Window + size + Slack, 0);
    std::memset(text.data(), ' ', Window);
    if (size) std::memcpy(text.data() + Window, data, size);
    MatchFinder().Insert(text.data(), 0, 0, Window + size, Window + size, Window, length.data(), distance.data(),
                         progress);
}

uint64_t SzddSmallestSize(uint64_t size) { return KIV_SZDD_HEADER_SIZE + (size + 8) / 9 + (size + 143) / 144; }

uint64_t SzddLargestSize(uint64_t size) { return KIV_SZDD_HEADER_SIZE + size + (size + 7) / 8; }

struct SzddEncoder::State {
    uint64_t declared = 0;
    uint64_t added = 0;
    uint64_t written = 0;
    SzddSink sink;
    MatchFinder finder;
    // The text from position `base` on: 4,096 bytes before the block, the
    // block and 18 bytes after it, then Slack.
    std::vector<unsigned char> text;
    uint64_t base = 0;
    uint64_t filled = Window;  // the position after the last byte in `text`
    uint64_t inserted = 0;     // the next position for the match finder
    uint64_t blockStart = Window;
    std::vector<unsigned char> length, choice;
    std::vector<unsigned short> distance;
    // Output not yet handed on: from the control byte of an open group on.
    std::vector<unsigned char> out;
    std::size_t control = 0;
    unsigned k = 0;

    std::size_t Capacity() const { return Window + SzddBlockSize + MaxMatch; }
    bool Flush(bool all, std::string& error);
    void Block(uint64_t blockEnd, uint64_t end);
};

bool SzddEncoder::State::Flush(bool all, std::string& error)
{
    std::size_t n = all || k == 0 ? out.size() : control;
    if (!n) return true;
    if (!sink(out.data(), n, error)) return false;
    written += n;
    out.erase(out.begin(), out.begin() + n);
    control -= std::min(control, n);
    return true;
}

// Parses and writes the positions [blockStart, blockEnd); `end` is the end of
// the text when it is known, else at least 18 bytes after blockEnd.
void SzddEncoder::State::Block(uint64_t blockEnd, uint64_t end)
{
    const std::size_t size = std::size_t(blockEnd - blockStart);
    std::fill(length.begin(), length.begin() + size, 0);
    finder.Insert(text.data(), base, inserted, blockEnd, end, blockStart, length.data(), distance.data());
    inserted = blockEnd;

    // The cost of encoding data[p..] depends on how many items k (mod 8)
    // precede p in its group. For one fixed parse of the rest with N items,
    // the control bytes it pays for number floor((k+N-1)/8) for k = 1..7 and
    // ceil(N/8) for k = 0: in the order k = 1, 2, ..., 7, 0 they never fall
    // and differ by at most one. The cheapest costs over all parses keep that
    // shape (a minimum of such step functions is one), so a position's costs
    // are a base and the place t (1..8) in that order from which they are
    // base + 1; key = 16 base + 8 - t. Of the items possible at p, the one of
    // smallest key after it is cheapest for every k at once, so the best item
    // does not depend on k and one choice per position is enough.
    const unsigned Ring = 32;
    uint64_t key[Ring];
    key[size % Ring] = 0; // nothing left: base 0, t = 8
    for (std::size_t p = size; p-- > 0;) {
        uint64_t best = key[(p + 1) % Ring] + 16;
        unsigned take = 1;
        unsigned longest = (unsigned)std::min<std::size_t>(length[p], size - p);
        for (unsigned l = MinMatch; l <= longest; ++l) {
            uint64_t c = key[(p + l) % Ring] + 32;
            if (c < best) {
                best = c;
                take = l;
            }
        }
        // The costs at p are [k == 0] + those after the item at k + 1: one
        // place earlier in the order, with k = 0 last and always + 1.
        uint64_t costBase = best >> 4;
        unsigned t = 8 - (unsigned)(best & 15) - 1;
        if (t == 0) {
            ++costBase;
            t = 8;
        }
        key[p % Ring] = costBase * 16 + 8 - t;
        choice[p] = (unsigned char)take;
    }

    const uint64_t first = blockStart - Window; // the block's first byte, counted in the data
    const unsigned char* data = text.data() + (blockStart - base);
    for (std::size_t p = 0; p < size;) {
        if (k == 0) {
            control = out.size();
            out.push_back(0);
        }
        unsigned l = choice[p];
        if (l == 1) {
            out[control] |= (unsigned char)(1u << k);
            out.push_back(data[p]);
        } else {
            unsigned position = (unsigned)((KIV_SZDD_START_POSITION + first + p - distance[p]) & (Window - 1));
            out.push_back((unsigned char)(position & 0xFF));
            out.push_back((unsigned char)(((position >> 4) & 0xF0) | (l - MinMatch)));
        }
        p += l;
        k = (k + 1) & 7;
    }
    blockStart = blockEnd;
}

SzddEncoder::SzddEncoder(uint64_t size, unsigned char lastCharacter, SzddSink sink) : state_(new State)
{
    State& s = *state_;
    s.declared = size;
    s.sink = std::move(sink);
    const unsigned char header[10] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33,
                                      KIV_SZDD_MODE_A, lastCharacter};
    s.out.assign(header, header + 10);
    for (unsigned i = 0; i < 4; ++i) s.out.push_back((unsigned char)(size >> (8 * i)));
}

SzddEncoder::~SzddEncoder() = default;

uint64_t SzddEncoder::Written() const { return state_->written; }

bool SzddEncoder::Add(const unsigned char* data, std::size_t size, std::string& error)
{
    State& s = *state_;
    if (s.declared > 0xFFFFFFFFull) {
        error = "too large for the SZDD container (4 GiB at most)";
        return false;
    }
    if (size > s.declared - s.added) {
        error = "more bytes than declared";
        return false;
    }
    try {
        if (s.text.empty()) {
            std::size_t block = (std::size_t)std::min<uint64_t>(s.declared, SzddBlockSize);
            s.text.assign(std::min<std::size_t>(s.Capacity(), Window + s.declared) + Slack, 0);
            std::memset(s.text.data(), ' ', Window);
            s.length.resize(block);
            s.choice.resize(block);
            s.distance.resize(block);
        }
        while (size > 0) {
            std::size_t used = std::size_t(s.filled - s.base);
            std::size_t n = std::min(size, s.text.size() - Slack - used);
            std::memcpy(s.text.data() + used, data, n);
            s.filled += n;
            s.added += n;
            data += n;
            size -= n;
            if (s.filled - s.base == s.Capacity() && s.added < s.declared) {
                s.Block(s.blockStart + SzddBlockSize, s.filled);
                // Keep the 4,096 bytes before the next block and the 18 after.
                std::size_t keep = std::size_t(s.filled - (s.blockStart - Window));
                std::memmove(s.text.data(), s.text.data() + (s.filled - s.base - keep), keep);
                s.base = s.blockStart - Window;
                if (!s.Flush(false, error)) return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

bool SzddEncoder::Finish(std::string& error)
{
    State& s = *state_;
    if (s.added != s.declared) {
        error = s.added < s.declared ? "fewer bytes than declared" : "more bytes than declared";
        return false;
    }
    while (s.blockStart < s.filled) s.Block(std::min<uint64_t>(s.blockStart + SzddBlockSize, s.filled), s.filled);
    return s.Flush(true, error);
}

bool SzddCompress(const unsigned char* data, std::size_t size, unsigned char lastCharacter,
                  std::vector<unsigned char>& out, std::string& error, const SzddProgress& progress)
{
    out.clear();
    try {
        out.reserve(std::size_t(std::min<uint64_t>(SzddLargestSize(size), 0xFFFFFFFFu)));
    } catch (const std::bad_alloc&) {
    }
    SzddEncoder encoder(size, lastCharacter, [&](const unsigned char* d, std::size_t n, std::string& e) {
        try {
            out.insert(out.end(), d, d + n);
            return true;
        } catch (const std::bad_alloc&) {
            e = "out of memory";
            return false;
        }
    });
    for (std::size_t done = 0; done < size;) {
        std::size_t n = std::min(size - done, SzddBlockSize);
        if (!encoder.Add(data + done, n, error)) return false;
        done += n;
        if (progress) progress(done, size);
    }
    if (!encoder.Finish(error)) return false;
    if (progress) progress(size, size);
    return true;
}
