#include "engine/expansion_win32.h"

namespace {

// One expansion at a time; the expander (about 85 KB) lives here rather than
// on the stack, which the installer does not probe page by page.
SzddExpander Expander;
// 0 or INVALID_HANDLE_VALUE while no expansion is open: zero-initialised, the
// handle costs the programs no initialised data section of their own.
HANDLE Source;
int KeepCrc;

unsigned ReadSource(void* context, unsigned char* buffer, unsigned count)
{
    DWORD read = 0;
    if (!ReadFile((HANDLE)context, buffer, count, &read, 0)) return SZDD_SOURCE_ERROR;
    return read;
}

unsigned WriteDestination(void* context, const unsigned char* data, unsigned count)
{
    DWORD written = 0;
    if (!WriteFile((HANDLE)context, data, count, &written, 0)) return 0;
    // A write reported as done with fewer bytes is a full disk; the caller
    // reads the code with GetLastError.
    if (written != count) SetLastError(ERROR_DISK_FULL);
    return written;
}

} // namespace

int ExpansionOpen(HANDLE source)
{
    Source = source;
    int status = SzddOpen(&Expander, ReadSource, source);
    if (KeepCrc) SzddKeepCrc(&Expander);
    return status;
}

void ExpansionKeepCrc(int on) { KeepCrc = on; }

int ExpansionRead(unsigned char* buffer, unsigned count) { return SzddRead(&Expander, buffer, count); }

int ExpansionCopy(HANDLE destination) { return SzddCopy(&Expander, WriteDestination, destination); }

unsigned ExpansionCrc() { return SzddCrc(&Expander); }

void ExpansionClose()
{
    SzddClose(&Expander);
    if (Source && Source != INVALID_HANDLE_VALUE) CloseHandle(Source);
    Source = 0;
}
