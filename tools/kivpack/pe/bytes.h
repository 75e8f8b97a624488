// Little-endian fields of a byte buffer. Readers check the range against the
// buffer's size with 64-bit arithmetic, so no offset + size can wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivpack {

inline bool InRange(size_t bufferSize, uint64_t offset, uint64_t size)
{
    return offset <= bufferSize && size <= bufferSize - offset;
}

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads a field at `offset` when it lies inside `buf`; false otherwise.
inline bool Read16(const std::vector<uint8_t>& buf, uint64_t offset, uint16_t& value)
{
    if (!InRange(buf.size(), offset, 2)) return false;
    value = Get16(buf.data() + offset);
    return true;
}

inline bool Read32(const std::vector<uint8_t>& buf, uint64_t offset, uint32_t& value)
{
    if (!InRange(buf.size(), offset, 4)) return false;
    value = Get32(buf.data() + offset);
    return true;
}

// Writers: the caller has made room.
inline void Put16(std::vector<uint8_t>& buf, size_t offset, uint16_t value)
{
    buf[offset] = uint8_t(value);
    buf[offset + 1] = uint8_t(value >> 8);
}

inline void Put32(std::vector<uint8_t>& buf, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) buf[offset + i] = uint8_t(value >> (8 * i));
}

inline void Append16(std::vector<uint8_t>& buf, uint16_t value)
{
    buf.push_back(uint8_t(value));
    buf.push_back(uint8_t(value >> 8));
}

inline void Append32(std::vector<uint8_t>& buf, uint32_t value)
{
    for (int i = 0; i < 4; ++i) buf.push_back(uint8_t(value >> (8 * i)));
}

inline uint64_t AlignUp(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace kivpack
