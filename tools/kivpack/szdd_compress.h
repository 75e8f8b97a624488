// The SZDD compressor of kivpack: the smallest stream the container allows
// for a given input (an optimal parse, not a greedy one).
//
// Model of the decoder that the parse relies on: the expanded data is
// preceded by 4,096 virtual spaces (the initial window), and a match at
// distance d (1 to 4,096) of length L (3 to 18) repeats the L bytes that begin
// d bytes before the write point, copied one by one, so it may overlap its own
// output. The stored window position is (4080 + written - d) mod 4096.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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
