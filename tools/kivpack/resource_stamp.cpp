#include "tools/kivpack/resource_stamp.h"
#include "tools/kivpack/os/os.h"
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include "resources/kivformat.h"
#include "tools/kivpack/pe/pe.h"

namespace {

bool FromCalendar(int year, int month, int day, int hour, int minute, int second, ResourceStamp& stamp,
                  std::string& error)
{
    static const int Days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1980 || year > 2107) {
        error = "a file date must lie in the years 1980 to 2107";
        return false;
    }
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > Days[month - 1] || (month == 2 && day == 29 && !leap) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        error = "no such date or time";
        return false;
    }
    stamp.dosDate = (uint16_t)((year - 1980) << 9 | month << 5 | day);
    stamp.dosTime = (uint16_t)(hour << 11 | minute << 5 | second / 2);
    return true;
}

bool FromTm(const std::tm& t, ResourceStamp& stamp, std::string& error)
{
    return FromCalendar(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, stamp, error);
}

} // namespace

bool ChooseResourceStamp(const std::string& dateOption, ResourceStamp& stamp, std::string& error)
{
    if (!dateOption.empty()) {
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
        const char* text = dateOption.c_str();
        char separator = 0;
        int fields = std::sscanf(text, "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &y, &mo, &d, &used, &separator, &h, &mi, &used,
                                 &s, &used);
        bool whole = (size_t)used == dateOption.size();
        if (!(fields == 3 || ((fields == 6 || fields == 7) && (separator == ' ' || separator == 'T'))) || !whole) {
            error = "--date '" + dateOption + "' is not YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS]";
            return false;
        }
        if (!FromCalendar(y, mo, d, h, mi, s, stamp, error)) {
            error = "--date '" + dateOption + "': " + error;
            return false;
        }
        return true;
    }
    std::tm t;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        long long seconds = std::strtoll(epoch, &end, 10);
        if (!*epoch || *end || !kivpack::os::CalendarTime(seconds, false, t)) {
            error = std::string("SOURCE_DATE_EPOCH '") + epoch + "' is not a number of seconds";
            return false;
        }
        if (!FromTm(t, stamp, error)) {
            error = std::string("SOURCE_DATE_EPOCH '") + epoch + "': " + error;
            return false;
        }
        return true;
    }
    return kivpack::os::CalendarTime(std::time(nullptr), true, t) && FromTm(t, stamp, error);
}

int64_t StampSeconds(const ResourceStamp& stamp)
{
    int64_t year = 1980 + (stamp.dosDate >> 9), month = stamp.dosDate >> 5 & 15, day = stamp.dosDate & 31;
    // Days since 1970 of a proleptic Gregorian date, the year taken from March.
    if (month <= 2) --year;
    const int64_t era = year / 400, yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t days = era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
    return days * 86400 + (stamp.dosTime >> 11) * 3600 + (stamp.dosTime >> 5 & 63) * 60 + (stamp.dosTime & 31) * 2;
}

bool WriteResourceStamp(kivpack::ResourceSet& resources, uint16_t language, const ResourceStamp& stamp,
                        std::string& error)
{
    return kivpack::SetString(resources, IDS_RESOURCE_FILE_DATE, language,
                              kivpack::AnsiToUtf16(std::to_string(stamp.dosDate)), error) &&
           kivpack::SetString(resources, IDS_RESOURCE_FILE_TIME, language,
                              kivpack::AnsiToUtf16(std::to_string(stamp.dosTime)), error);
}
