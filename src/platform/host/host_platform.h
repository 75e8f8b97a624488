// The host side of the seam, seen from the host: what kivpack, the unit tests
// and the fuzzers may set up before calling the portable core, and what they
// may inspect afterwards. Host-only; the installer never includes it.
//
// None of this state is thread-safe: the portable core runs on one thread.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

// In-memory files. A file registered here is what the profile reader,
// FileExists and DeleteFileQuietly see under `path` (matched without regard
// to ASCII case, as Windows matches file names) instead of the disk. The
// bytes are copied. Registering a path again replaces its content.
void HostSetMemoryFile(const char* path, const void* data, size_t size);
void HostRemoveMemoryFile(const char* path);
void HostClearMemoryFiles();
// Nonzero when `path` is a registered in-memory file.
int HostMemoryFileExists(const char* path);

// The atom table: the number of string atoms currently interned (each counted
// once, whatever its reference count), for leak checks, and a reset that
// drops every atom. String atoms are limited to kHostAtomTableSize, the size
// of the string-atom handle range 0xC000..0xFFFF.
const unsigned kHostAtomTableSize = 0x4000;
unsigned HostLiveAtomCount();
void HostResetAtoms();

// Memory blocks from MemoryAllocate not yet freed, for leak checks.
unsigned HostLiveMemoryBlocks();

// String 8000, the script's file name, reads `name` instead of "INSTALL.INI"
// (kivpack checks scripts of any name). Null restores "INSTALL.INI".
void HostSetScriptFileName(const char* name);

// Payload resources of type 256 that PayloadResourceExists reports. There are
// none unless a test adds them.
void HostSetPayloadResource(unsigned id, int exists);
void HostClearPayloadResources();

// The last text given to SetMainWindowTitle ("" before the first call).
const char* HostMainWindowTitle();

// Every call of TransferFile and ExtractResourceFile, in order. On the host
// nothing is installed: the calls are only recorded, and both report success.
struct HostTransferCall {
    std::string operation;        // "TransferFile" or "ExtractResourceFile"
    std::string destinationName;
    std::string sourceName;       // empty for ExtractResourceFile
    unsigned kind;
    unsigned resourceId;
    unsigned flags;
};
const std::vector<HostTransferCall>& HostTransferCalls();
void HostClearTransferCalls();

// Code page 1252, the ANSI code page of the systems the installer targets, as
// the host side and kivpack convert text between it and UTF-16. Characters
// that code page 1252 cannot hold become '?'.
char16_t AnsiToWide(unsigned char c);
unsigned char WideToAnsi(char16_t c);
std::u16string WidenAnsi(const char* text);
std::string NarrowToAnsi(const std::u16string& text);

// Restores every host hook above to its initial state: no memory files, no
// atoms, no payload resources, the default script name, an empty title and
// an empty transfer log. Live memory blocks are not touched.
void HostResetPlatform();
