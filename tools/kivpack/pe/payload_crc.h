// The payload checksums as a resource of the image (KIV_CRC_TYPE /
// KIV_CRC_RESOURCE, laid out as resources/kivformat.h shows): what `build`
// and `disks` record, and what `list` and `extract` read back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

struct PayloadCrcRecord {
    uint32_t crc = 0;
    uint16_t resourceId = 0;  // an installer's payload; 0 in a disk set
    uint8_t disk = 0;         // a disk set's disk, 1 to 32; 0 for a payload
    std::string sourceName;   // a disk set's source name; empty for a payload
};

// The CRC-32 of a whole expanded file.
uint32_t PayloadCrc(const std::vector<uint8_t>& expanded);

// Lays the records out and puts them into `resources` in `language`,
// replacing any earlier table. A record a disk set names twice (the same file
// on the same disk, compared without case) is kept once. Fails with a
// message for more records, or a longer name, than the layout holds.
bool SetPayloadCrcTable(ResourceSet& resources, const std::vector<PayloadCrcRecord>& records,
                        uint16_t language, std::string& error);

// The table's bytes in `resources`, or null when it has none.
const std::vector<uint8_t>* FindPayloadCrcTable(const ResourceSet& resources);

} // namespace kivpack
