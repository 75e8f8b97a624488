// CRC-32 of expanded payload bytes, and the table of recorded values that
// kivpack writes as resource KIV_CRC_TYPE / KIV_CRC_RESOURCE (its layout is
// in resources/kivformat.h). Portable: the installer looks values up in the
// table, kivpack writes, lists and checks them, the fuzz targets read hostile
// tables.
#pragma once

// The CRC-32 of zip and PNG: polynomial 0xEDB88320 (reflected), started at
// PAYLOAD_CRC_START and inverted at the end. Crc32Update carries the running
// state over any split of the data; PayloadCrcFinal(state) is the checksum.
#define PAYLOAD_CRC_START 0xFFFFFFFFu
unsigned Crc32Update(unsigned state, const unsigned char* data, unsigned count);
inline unsigned PayloadCrcFinal(unsigned state) { return ~state; }

// Looks up the record for one stored file in a table of `size` bytes: by
// `resourceId` when `disk` is 0 (an installer carrying its payload), else by
// disk number and source name (a disk set), the name compared without regard
// to ASCII case. Returns 1 and sets *crc when a record matches. A table that
// is cut short or malformed yields the records it holds whole before the
// fault; nothing outside the table is read.
int FindPayloadCrc(const unsigned char* table, unsigned size, unsigned resourceId, unsigned disk,
                   const char* sourceName, unsigned* crc);

// What the table of installed files (KIV_INSTALLED_TYPE, `size` bytes) says
// of `destinationName`: 0 when it has no record of it, 1 when one of its
// records has `length` and `crc`, 2 when none has. The name is compared
// without regard to ASCII case; a malformed table is read as far as it is
// whole.
int MatchInstalledFile(const unsigned char* table, unsigned size, const char* destinationName, unsigned length,
                       unsigned crc);
// Whether the table has a record of `destinationName` with `length` (so that
// a file of another size needs no checksum): 0 no record of the name, 1 a
// record of that size, 2 records of other sizes only.
int MatchInstalledSize(const unsigned char* table, unsigned size, const char* destinationName, unsigned length);
