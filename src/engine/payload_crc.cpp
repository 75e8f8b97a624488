#include "engine/payload_crc.h"
#include "resources/kivformat.h"

namespace {

// Built on first use rather than stored: the installer carries 4 KB less,
// and the portable core has no static constructors. Table[k][n] is the CRC
// of byte n followed by k zero bytes, so four bytes take four look-ups at
// once (a byte at a time costs about as much as the expansion itself).
unsigned Table[4][256];
int TableReady;

void BuildTable()
{
    for (unsigned n = 0; n < 256; ++n) {
        unsigned c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        Table[0][n] = c;
    }
    for (unsigned n = 0; n < 256; ++n)
        for (int k = 1; k < 4; ++k) Table[k][n] = Table[0][Table[k - 1][n] & 0xFF] ^ (Table[k - 1][n] >> 8);
    TableReady = 1;
}

unsigned Get16(const unsigned char* p) { return p[0] | (unsigned)p[1] << 8; }
unsigned Get32(const unsigned char* p) { return Get16(p) | Get16(p + 2) << 16; }

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? (unsigned char)(c + 32) : c; }

// The record's name (n bytes) against a NUL-terminated name.
int SameName(const unsigned char* recorded, unsigned n, const char* name)
{
    for (unsigned i = 0; i < n; ++i)
        if (!name[i] || Lower(recorded[i]) != Lower((unsigned char)name[i])) return 0;
    return name[n] == 0;
}

} // namespace

unsigned Crc32Update(unsigned state, const unsigned char* data, unsigned count)
{
    if (!TableReady) BuildTable();
    for (; count >= 4; count -= 4, data += 4) {
        state ^= data[0] | (unsigned)data[1] << 8 | (unsigned)data[2] << 16 | (unsigned)data[3] << 24;
        state = Table[3][state & 0xFF] ^ Table[2][(state >> 8) & 0xFF] ^ Table[1][(state >> 16) & 0xFF] ^
                Table[0][state >> 24];
    }
    for (; count; --count) state = Table[0][(state ^ *data++) & 0xFF] ^ (state >> 8);
    return state;
}

int FindPayloadCrc(const unsigned char* table, unsigned size, unsigned resourceId, unsigned disk,
                   const char* sourceName, unsigned* crc)
{
    if (size < KIV_CRC_COUNT_SIZE) return 0;
    unsigned count = Get16(table);
    unsigned at = KIV_CRC_COUNT_SIZE;
    for (unsigned i = 0; i < count && size - at >= KIV_CRC_RECORD_SIZE; ++i) {
        const unsigned char* r = table + at;
        unsigned nameLength = r[7];
        if (size - at - KIV_CRC_RECORD_SIZE < nameLength) return 0;
        at += KIV_CRC_RECORD_SIZE + nameLength;
        if (r[6] != disk) continue;
        if (disk ? !SameName(r + KIV_CRC_RECORD_SIZE, nameLength, sourceName) : Get16(r + 4) != resourceId)
            continue;
        *crc = Get32(r);
        return 1;
    }
    return 0;
}

namespace {

// 0 no record of the name, 1 a record matches, 2 records of the name only
// differ. `checkCrc` 0 compares the sizes alone.
int MatchInstalled(const unsigned char* table, unsigned size, const char* name, unsigned length, unsigned crc,
                   int checkCrc)
{
    if (size < KIV_CRC_COUNT_SIZE) return 0;
    const unsigned count = Get16(table);
    unsigned at = KIV_CRC_COUNT_SIZE;
    int known = 0;
    for (unsigned i = 0; i < count && size - at >= KIV_INSTALLED_RECORD_SIZE; ++i) {
        const unsigned char* r = table + at;
        const unsigned nameLength = r[8];
        if (size - at - KIV_INSTALLED_RECORD_SIZE < nameLength) break;
        at += KIV_INSTALLED_RECORD_SIZE + nameLength;
        if (!SameName(r + KIV_INSTALLED_RECORD_SIZE, nameLength, name)) continue;
        known = 1;
        if (Get32(r + 4) == length && (!checkCrc || Get32(r) == crc)) return 1;
    }
    return known ? 2 : 0;
}

} // namespace

int MatchInstalledFile(const unsigned char* table, unsigned size, const char* destinationName, unsigned length,
                       unsigned crc)
{
    return MatchInstalled(table, size, destinationName, length, crc, 1);
}

int MatchInstalledSize(const unsigned char* table, unsigned size, const char* destinationName, unsigned length)
{
    return MatchInstalled(table, size, destinationName, length, 0, 0);
}
