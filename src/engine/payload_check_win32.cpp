// The installer's side of the payload checksums: the table kivpack recorded
// (resource KIV_CRC_TYPE / KIV_CRC_RESOURCE), looked up once per file, and the
// comparison with the CRC-32 the expander kept while it produced the file.
#include <windows.h>
#include "engine/expansion_win32.h"
#include "engine/payload_crc.h"
#include "engine/resource_bounds_win32.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

namespace {

const unsigned char* Table;  // the mapped resource; it lives as long as the image
unsigned TableSize;
int TableLooked;
unsigned CurrentDisk = 1;
int Expecting;
unsigned Expected;

void LoadTable()
{
    TableLooked = 1;
    HMODULE module = (HMODULE)State.Instance;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(KIV_CRC_RESOURCE), MAKEINTRESOURCEA(KIV_CRC_TYPE));
    Table = LockResourceInImage(module, resource, &TableSize);
}

} // namespace

void SetTransferDisk(unsigned disk) { CurrentDisk = disk; }

void ExpectPayloadCrc(unsigned resourceId, const char* sourceName)
{
    if (!TableLooked) LoadTable();
    unsigned disk = State.ScriptFromResource ? 0 : CurrentDisk;
    Expecting = Table && FindPayloadCrc(Table, TableSize, resourceId, disk, sourceName, &Expected);
    ExpansionKeepCrc(Expecting);
}

int ExpansionMatchesRecord()
{
    int matches = !Expecting || ExpansionCrc() == Expected;
    Expecting = 0;
    ExpansionKeepCrc(0);
    return matches;
}
