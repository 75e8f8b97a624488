// The SZDD compressor of kivpack: the smallest stream the container allows
// for a given input (an optimal parse, not a greedy one), within each block
// of SzddBlockSize bytes, so that memory stays the same whatever the input's
// length. Across a block's end a copy is cut short and the parse starts
// afresh, which costs a few bytes per block at most.
//
// Model of the decoder that the parse relies on: the expanded data is
// preceded by 4,096 virtual spaces (the initial window), and a match at
// distance d (1 to 4,096) of length L (3 to 18) repeats the L bytes that begin
// d bytes before the write point, copied one by one, so it may overlap its own
// output. The stored window position is (4080 + written - d) mod 4096.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Bytes of input parsed as one: the encoder holds about five times this.
const std::size_t SzddBlockSize = 1u << 20;

// Where an encoder's output goes, piece by piece; false (with `error`) stops it.
using SzddSink = std::function<bool(const unsigned char* data, std::size_t size, std::string& error)>;

// Compresses `size` bytes given in pieces of any length into a whole SZDD
// file (header included), handing the output to `sink` as it is made.
class SzddEncoder {
public:
    SzddEncoder(std::uint64_t size, unsigned char lastCharacter, SzddSink sink);
    ~SzddEncoder();
    SzddEncoder(const SzddEncoder&) = delete;
    SzddEncoder& operator=(const SzddEncoder&) = delete;
    // Fails for more input than declared, for a declared size the header
    // cannot hold (4 GiB and more), or when the sink fails.
    bool Add(const unsigned char* data, std::size_t size, std::string& error);
    // Fails when less input came than was declared.
    bool Finish(std::string& error);
    // Bytes handed to the sink so far.
    std::uint64_t Written() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Bounds on the SZDD file of `size` bytes, header included, whatever they
// are: a copy gives at most 18 bytes for 2, and every item costs an eighth
// of a control byte, so at best 17 bytes for 144; at worst every byte is a
// literal, an eighth more.
std::uint64_t SzddSmallestSize(std::uint64_t size);
std::uint64_t SzddLargestSize(std::uint64_t size);

// Called now and then with the bytes of input dealt with and the total.
using SzddProgress = std::function<void(std::size_t done, std::size_t total)>;

// Compresses `size` bytes into a whole SZDD file (header included) in `out`.
// `lastCharacter` goes to header byte 9 (0: none recorded). Fails, with a
// message in `error`, only for input longer than the header can declare
// (4 GiB - 1) or when memory runs out.
bool SzddCompress(const unsigned char* data, std::size_t size, unsigned char lastCharacter,
                  std::vector<unsigned char>& out, std::string& error,
                  const SzddProgress& progress = SzddProgress());

// For each position p of `data`, the longest match (up to 18, and up to the
// end of the data) that the decoder can copy there, and a distance that
// gives it; length 0 when none of at least 3 exists. Exposed for tests.
void SzddFindMatches(const unsigned char* data, std::size_t size, std::vector<unsigned char>& length,
                     std::vector<unsigned short>& distance,
                     const SzddProgress& progress = SzddProgress());
