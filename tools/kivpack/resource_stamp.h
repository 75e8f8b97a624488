// The date and time that a resource-mode installer gives every file it puts
// in place: strings 8001 and 8002 of the packed installer, a DOS date and a
// DOS time in decimal, as local time of the machine that installs.
#pragma once
#include <cstdint>
#include <string>
#include "tools/kivpack/pe/pe.h"

struct ResourceStamp {
    uint16_t dosDate = 0;  // (year - 1980) << 9 | month << 5 | day
    uint16_t dosTime = 0;  // hour << 11 | minute << 5 | second / 2
};

// The stamp of a build: `dateOption` ("YYYY-MM-DD", optionally followed by
// " HH:MM" or "THH:MM[:SS]") when not empty; else SOURCE_DATE_EPOCH (seconds
// since 1970, taken as UTC) when set, so that builds can be reproduced; else
// the current local time. False, with the reason, for text that is not such a
// date or a date that a DOS date cannot hold (1980 to 2107).
bool ChooseResourceStamp(const std::string& dateOption, ResourceStamp& stamp, std::string& error);

// The stamp as seconds since 1970 for a clock that runs in UTC: what file
// systems without time zones (FAT, and an ISO image made with TZ=UTC) then
// show as the stamp's own date and time.
int64_t StampSeconds(const ResourceStamp& stamp);

// Writes strings 8001 and 8002 in `language`.
bool WriteResourceStamp(kivpack::ResourceSet& resources, uint16_t language, const ResourceStamp& stamp,
                        std::string& error);
