// szdd_bound FILE...: the smallest SZDD file each FILE can be stored in, found
// without kivpack's compressor, by an exhaustive search that is slow but
// plainly exact. Prints one line per file:
//
//   <original bytes> <smallest SZDD bytes, 14-byte header included> <FILE>
//
// and proves every figure by building a stream of exactly that size and
// expanding it again with a decoder of its own (exit 1 if one does not
// reproduce its file).
//
// Why the search is exact. The decoder sees the file after 4,096 spaces (the
// initial window); an item at position p is a literal (1 byte) or a copy of
// 3 to 18 bytes from 1 to 4,096 bytes back (2 bytes), and every group of up
// to eight items costs one control byte more. The cost of a copy does not
// depend on its distance, and every shorter prefix of a copy is a copy too,
// so at p the possible items are the literal and the copies of every length
// from 3 to L(p), the longest copy possible at p. L(p) is found by trying
// every earlier position within reach whose next three bytes are those at p
// (all others give less than 3), stopping early only at the format's limit
// of 18. Then cost(p, k), the fewest bytes for the rest of the file when k
// items of the current group are already used, is a minimum over those items
// for all eight values of k, from the end of the file backwards.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const unsigned Window = 4096;     // ring size, and the farthest copy
const unsigned StartPosition = 4080;
const unsigned Shortest = 3;
const unsigned Longest = 18;
const unsigned HeaderSize = 14;
const int64_t Unreachable = INT64_MAX / 4;

bool ReadFile(const char* path, std::vector<unsigned char>& data)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    data.clear();
    unsigned char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// For every position of the file: the longest copy there and a distance for
// it (0 when no copy of 3 bytes exists).
void LongestCopies(const std::vector<unsigned char>& data, std::vector<unsigned char>& length,
                   std::vector<uint16_t>& distance)
{
    const size_t n = data.size();
    std::vector<unsigned char> text(Window + n, ' ');
    std::copy(data.begin(), data.end(), text.begin() + Window);
    const size_t end = text.size();
    length.assign(n, 0);
    distance.assign(n, 0);
    // Chains of earlier positions by their next three bytes.
    const unsigned Buckets = 1u << 20;
    std::vector<int64_t> head(Buckets, -1);
    std::vector<int64_t> previous(end, -1);
    auto bucket = [&](size_t i) {
        uint32_t key = text[i] | (uint32_t)text[i + 1] << 8 | (uint32_t)text[i + 2] << 16;
        return (key * 2654435761u) >> 12;
    };
    for (size_t i = 0; i + Shortest <= end; ++i) {
        uint32_t b = bucket(i);
        if (i >= Window) {
            size_t limit = end - i < Longest ? end - i : Longest;
            unsigned best = 0, bestDistance = 0;
            for (int64_t j = head[b]; j >= 0 && i - (size_t)j <= Window; j = previous[j]) {
                // A candidate can only beat `best` if it agrees one byte further.
                if (best && text[j + best] != text[i + best]) continue;
                unsigned k = 0;
                while (k < limit && text[j + k] == text[i + k]) ++k;
                if (k > best) {
                    best = k;
                    bestDistance = (unsigned)(i - j);
                    if (best == limit) break;
                }
            }
            if (best >= Shortest) {
                length[i - Window] = (unsigned char)best;
                distance[i - Window] = (uint16_t)bestDistance;
            }
        }
        previous[i] = head[b];
        head[b] = (int64_t)i;
    }
}

// Smallest stream body for `data` and one parse that reaches it: take[p] is
// 1 for a literal or the copy length chosen at p, for the k met at p.
int64_t SmallestBody(const std::vector<unsigned char>& length, std::vector<unsigned char>& take)
{
    const size_t n = length.size();
    // cost[p][k] for p = n .. 0 kept for the last Longest + 1 positions;
    // the choices for every (p, k) are kept to rebuild the parse.
    const size_t Rows = Longest + 1;
    std::vector<int64_t> cost(Rows * 8, 0);
    std::vector<unsigned char> choice(n * 8);
    auto row = [&](size_t p) { return &cost[(p % Rows) * 8]; };
    for (unsigned k = 0; k < 8; ++k) row(n)[k] = 0;
    for (size_t p = n; p-- > 0;) {
        int64_t* here = row(p);
        for (unsigned k = 0; k < 8; ++k) {
            unsigned next = (k + 1) & 7;
            int64_t control = k == 0 ? 1 : 0;
            int64_t best = control + 1 + row(p + 1)[next];
            unsigned how = 1;
            for (unsigned l = Shortest; l <= length[p]; ++l) {
                int64_t c = control + 2 + row(p + l)[next];
                if (c < best) {
                    best = c;
                    how = l;
                }
            }
            here[k] = best;
            choice[p * 8 + k] = (unsigned char)how;
        }
    }
    take.assign(n, 0);
    unsigned k = 0;
    for (size_t p = 0; p < n;) {
        unsigned l = choice[p * 8 + k];
        take[p] = (unsigned char)l;
        p += l;
        k = (k + 1) & 7;
    }
    return n ? row(0)[0] : 0;
}

void BuildStream(const std::vector<unsigned char>& data, const std::vector<unsigned char>& take,
                 const std::vector<uint16_t>& distance, std::vector<unsigned char>& out)
{
    const unsigned char header[10] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, 0x41, 0};
    out.assign(header, header + 10);
    for (unsigned i = 0; i < 4; ++i) out.push_back((unsigned char)(data.size() >> (8 * i)));
    size_t control = 0;
    unsigned k = 0;
    for (size_t p = 0; p < data.size();) {
        if (k == 0) {
            control = out.size();
            out.push_back(0);
        }
        unsigned l = take[p];
        if (l == 1) {
            out[control] |= (unsigned char)(1u << k);
            out.push_back(data[p]);
        } else {
            unsigned position = (unsigned)((StartPosition + p - distance[p]) % Window);
            out.push_back((unsigned char)position);
            out.push_back((unsigned char)(((position >> 4) & 0xF0) | (l - Shortest)));
        }
        p += l;
        k = (k + 1) & 7;
    }
}

// A decoder written from the format alone, to prove the stream.
bool Expands(const std::vector<unsigned char>& stream, const std::vector<unsigned char>& data)
{
    if (stream.size() < HeaderSize) return false;
    uint32_t declared = stream[10] | stream[11] << 8 | stream[12] << 16 | (uint32_t)stream[13] << 24;
    if (declared != data.size()) return false;
    unsigned char ring[Window];
    std::memset(ring, ' ', Window);
    unsigned w = StartPosition;
    size_t in = HeaderSize, produced = 0;
    while (produced < declared) {
        if (in >= stream.size()) return false;
        unsigned control = stream[in++];
        for (unsigned bit = 0; bit < 8 && produced < declared; ++bit) {
            if (control & (1u << bit)) {
                if (in >= stream.size()) return false;
                unsigned char b = stream[in++];
                if (b != data[produced++]) return false;
                ring[w] = b;
                w = (w + 1) % Window;
            } else {
                if (in + 2 > stream.size()) return false;
                unsigned position = stream[in] | (stream[in + 1] & 0xF0) << 4;
                unsigned count = (stream[in + 1] & 0x0F) + Shortest;
                in += 2;
                for (unsigned i = 0; i < count; ++i) {
                    unsigned char b = ring[(position + i) % Window];
                    if (produced >= declared || b != data[produced++]) return false;
                    ring[w] = b;
                    w = (w + 1) % Window;
                }
            }
        }
    }
    return in == stream.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: szdd_bound FILE...\n");
        return 2;
    }
    int failures = 0;
    std::vector<unsigned char> data, length, take, stream;
    std::vector<uint16_t> distance;
    for (int i = 1; i < argc; ++i) {
        if (!ReadFile(argv[i], data) || data.size() > 0xFFFFFFFFull) {
            std::fprintf(stderr, "szdd_bound: %s: cannot be read\n", argv[i]);
            ++failures;
            continue;
        }
        LongestCopies(data, length, distance);
        int64_t body = SmallestBody(length, take);
        BuildStream(data, take, distance, stream);
        if ((int64_t)stream.size() != HeaderSize + body || !Expands(stream, data)) {
            std::fprintf(stderr, "szdd_bound: %s: the stream of the bound does not expand\n", argv[i]);
            ++failures;
            continue;
        }
        std::printf("%zu %lld %s\n", data.size(), (long long)(HeaderSize + body), argv[i]);
    }
    return failures ? 1 : 0;
}
