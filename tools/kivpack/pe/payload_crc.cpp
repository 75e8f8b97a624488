#include "tools/kivpack/pe/payload_crc.h"

#include <set>

#include "engine/payload_crc.h"
#include "resources/kivformat.h"

namespace kivpack {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return text;
}

} // namespace

uint32_t PayloadCrc(const std::vector<uint8_t>& expanded)
{
    uint32_t state = PAYLOAD_CRC_START;
    // Crc32Update takes an unsigned count: large files go in slices.
    const size_t slice = 1u << 30;
    for (size_t at = 0; at < expanded.size(); at += slice) {
        size_t n = expanded.size() - at < slice ? expanded.size() - at : slice;
        state = Crc32Update(state, expanded.data() + at, unsigned(n));
    }
    return PayloadCrcFinal(state);
}

bool SetPayloadCrcTable(ResourceSet& resources, const std::vector<PayloadCrcRecord>& records,
                        uint16_t language, std::string& error)
{
    std::vector<uint8_t> table(KIV_CRC_COUNT_SIZE, 0);
    std::set<std::string> seen;
    unsigned count = 0;
    for (const PayloadCrcRecord& r : records) {
        if (r.disk) {
            if (!seen.insert(std::to_string(r.disk) + ":" + Lower(r.sourceName)).second) continue;
        }
        if (r.sourceName.size() > 255) {
            error = "the source name '" + r.sourceName + "' is too long for the checksum table";
            return false;
        }
        if (++count > 0xFFFF) {
            error = "too many files for the checksum table";
            return false;
        }
        for (int i = 0; i < 4; ++i) table.push_back(uint8_t(r.crc >> (8 * i)));
        table.push_back(uint8_t(r.resourceId));
        table.push_back(uint8_t(r.resourceId >> 8));
        table.push_back(r.disk);
        table.push_back(uint8_t(r.sourceName.size()));
        table.insert(table.end(), r.sourceName.begin(), r.sourceName.end());
    }
    table[0] = uint8_t(count);
    table[1] = uint8_t(count >> 8);
    resources.RemoveAll(ResourceName::Id(KIV_CRC_TYPE), ResourceName::Id(KIV_CRC_RESOURCE));
    Resource resource;
    resource.type = ResourceName::Id(KIV_CRC_TYPE);
    resource.name = ResourceName::Id(KIV_CRC_RESOURCE);
    resource.language = language;
    resource.data = std::move(table);
    resources.Set(std::move(resource));
    return true;
}

const std::vector<uint8_t>* FindPayloadCrcTable(const ResourceSet& resources)
{
    const Resource* r = resources.FindAny(ResourceName::Id(KIV_CRC_TYPE), ResourceName::Id(KIV_CRC_RESOURCE));
    return r ? &r->data : nullptr;
}

} // namespace kivpack
