#include "tools/kivpack/szdd_compress.h"
#include <cstdint>
#include <cstring>
#include <new>
#include "resources/kivformat.h"

// Two passes. Match finding gives, for every position, the longest copy the
// decoder could make there; since any prefix of a match is a match too, all
// lengths from 3 to that longest are available, at the same distance.
// Then a shortest path over positions, computed backwards, that counts every
// byte of the stream: one per literal, two per match, and one control byte
// for each group of eight items begun, the last partial group included. A
// forward walk along the chosen items then writes the stream.

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

} // namespace

void SzddFindMatches(const unsigned char* data, std::size_t size, std::vector<unsigned char>& length,
                     std::vector<unsigned short>& distance, const SzddProgress& progress)
{
    length.assign(size, 0);
    distance.assign(size, 0);
    // The text the decoder sees: the initial window of spaces, then the data.
    std::vector<unsigned char> text(Window + size + Slack, 0);
    std::memset(text.data(), ' ', Window);
    if (size) std::memcpy(text.data() + Window, data, size);
    const std::size_t end = Window + size;
    const unsigned char* s = text.data();

    // One binary search tree per leading pair of bytes over the positions of
    // the last 4,096 bytes, ordered by the (up to 18) bytes that follow each
    // position. Every position is inserted at the root by splitting the tree
    // along its search path, so each node is newer than everything below it:
    // a node too far back ends the walk, as all below it are farther still.
    // The search path passes both neighbours of the new string in that order,
    // and the longest common prefix with any string is found at one of them,
    // so the longest match is exact. Of strings equal in all 18 bytes only
    // the newest is kept: it serves every later position at least as well.
    const std::size_t Cycle = Window + 1; // distances 1..4096
    const std::size_t Empty = ~std::size_t(0);
    std::vector<std::size_t> root(65536, Empty);
    std::vector<std::size_t> children(2 * Cycle, Empty); // [2c] smaller, [2c+1] larger
    std::size_t* son = children.data();

    for (std::size_t i = 0; i + MinMatch <= end; ++i) {
        std::size_t left = end - i;
        unsigned limit = left < MaxMatch ? (unsigned)left : MaxMatch;
        const unsigned char* cur = s + i;
        unsigned key = cur[0] | (unsigned)cur[1] << 8;
        std::size_t match = root[key];
        root[key] = i;
        std::size_t cyclic = i % Cycle;
        std::size_t* smaller = son + 2 * cyclic;    // where the next smaller node goes
        std::size_t* larger = son + 2 * cyclic + 1; // where the next larger node goes
        unsigned smallerLength = 0, largerLength = 0;
        unsigned best = 0, bestDistance = 0;
        for (;;) {
            if (match == Empty || i - match > Window) {
                *smaller = *larger = Empty;
                break;
            }
            std::size_t delta = i - match;
            std::size_t slot = cyclic >= delta ? cyclic - delta : cyclic + Cycle - delta;
            std::size_t* pair = son + 2 * slot;
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
        if (i >= Window && best >= MinMatch) {
            length[i - Window] = (unsigned char)best;
            distance[i - Window] = (unsigned short)bestDistance;
        }
        if (progress && (i & 0xFFFFF) == 0 && i >= Window) progress(i - Window, size);
    }
}

bool SzddCompress(const unsigned char* data, std::size_t size, unsigned char lastCharacter,
                  std::vector<unsigned char>& out, std::string& error, const SzddProgress& progress)
{
#if SIZE_MAX > 0xFFFFFFFFu
    if (size > 0xFFFFFFFFull) {
        error = "too large for the SZDD container (4 GiB at most)";
        return false;
    }
#endif
    try {
        std::vector<unsigned char> length;
        std::vector<unsigned short> distance;
        // Match finding takes about two thirds of the time.
        SzddProgress finding;
        if (progress) finding = [&](std::size_t done, std::size_t) { progress(done / 3 * 2, size); };
        SzddFindMatches(data, size, length, distance, finding);

        // The cost of encoding data[p..] depends on how many items k (mod 8)
        // precede p in its group. For one fixed parse of the rest with N
        // items, the control bytes it pays for number floor((k+N-1)/8) for k
        // = 1..7 and ceil(N/8) for k = 0: in the order k = 1, 2, ..., 7, 0
        // they never fall and differ by at most one. The cheapest costs over
        // all parses keep that shape (a minimum of such step functions is
        // one), so a position's costs are a base and the place t (1..8) in
        // that order from which they are base + 1; key = 16 base + 8 - t.
        // Of the items possible at p, the one of smallest key after it is
        // cheapest for every k at once, so the best item does not depend on
        // k and one choice per position is enough.
        const unsigned Ring = 32;
        uint64_t key[Ring];
        key[size % Ring] = 0; // nothing left: base 0, t = 8
        std::vector<unsigned char> choice(size);
        for (std::size_t p = size; p-- > 0;) {
            uint64_t best = key[(p + 1) % Ring] + 16;
            unsigned take = 1;
            for (unsigned l = MinMatch; l <= length[p]; ++l) {
                uint64_t k = key[(p + l) % Ring] + 32;
                if (k < best) {
                    best = k;
                    take = l;
                }
            }
            // The costs at p are [k == 0] + those after the item at k + 1:
            // one place earlier in the order, with k = 0 last and always + 1.
            uint64_t base = best >> 4;
            unsigned t = 8 - (unsigned)(best & 15) - 1;
            if (t == 0) {
                ++base;
                t = 8;
            }
            key[p % Ring] = base * 16 + 8 - t;
            choice[p] = (unsigned char)take;
            if (progress && (p & 0xFFFFF) == 0) progress(size / 3 * 2 + (size - p) / 3, size);
        }
        // k = 0 at the start: the last place in the order.
        std::size_t total = (std::size_t)(key[0] >> 4) + ((key[0] & 15) ? 1 : 0);

        out.clear();
        out.reserve(KIV_SZDD_HEADER_SIZE + total);
        const unsigned char header[10] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33,
                                          KIV_SZDD_MODE_A, lastCharacter};
        for (unsigned char b : header) out.push_back(b);
        for (unsigned i = 0; i < 4; ++i) out.push_back((unsigned char)(size >> (8 * i)));

        std::size_t control = 0;
        unsigned k = 0;
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
                unsigned position = (KIV_SZDD_START_POSITION + p - distance[p]) & (Window - 1);
                out.push_back((unsigned char)(position & 0xFF));
                out.push_back((unsigned char)(((position >> 4) & 0xF0) | (l - MinMatch)));
            }
            p += l;
            k = (k + 1) & 7;
        }
        if (progress) progress(size, size);
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}
