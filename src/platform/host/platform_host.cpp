// The remaining seam operations on the host: memory blocks, the string table,
// payload resources, the error mode, the main window's title and the fonts
// bitmap. kivpack checks scripts; it shows no window and installs nothing.
#include <cstdlib>
#include <set>
#include <string>

#include "platform/host/host_platform.h"
#include "platform/platform.h"
#include "resources/kivformat.h"

namespace {

// A movable block: its size and its bytes. A block of size 0 exists but
// cannot be locked, as with the system's discarded blocks.
struct MemoryBlock {
    unsigned size;
    unsigned char* bytes;
};

unsigned gLiveBlocks = 0;
std::string gScriptFileName = "INSTALL.INI";
std::string gMainWindowTitle;

std::set<unsigned>& PayloadResources()
{
    static std::set<unsigned> ids;
    return ids;
}

struct StringEntry {
    unsigned id;
    const char* text;
};

// The installer's string table (src/resources/kivinstall.rc), less 8000,
// which is gScriptFileName.
const StringEntry kStrings[] = {
    {IDS_RESOURCE_FILE_DATE, "12348"},
    {IDS_RESOURCE_FILE_TIME, "6208"},
    {IDS_SELECT_DIR, "Select the directory where you wish to install %s."},
    {IDS_COPYING, "Copying %s..."},
    {IDS_FONTS, "Installing Fonts..."},
    {IDS_PERCENT, "%u%%"},
    {IDS_PROGMAN_ITEMS, "Creating Program Manager Items..."},
    {IDS_TASKBAR_SHORTCUTS, "Creating Taskbar Shortcuts..."},
    {IDS_INSTALLING_IN, "%s is being installed in %s; please enter a different directory."},
    {IDS_DISK_DIR, "%s is being used for installation disks; please enter a different directory."},
};

}   // namespace

MemoryHandle MemoryAllocate(unsigned size)
{
    MemoryBlock* block = static_cast<MemoryBlock*>(std::calloc(1, sizeof(MemoryBlock)));
    if (!block) return nullptr;
    if (size) {
        block->bytes = static_cast<unsigned char*>(std::calloc(size, 1));
        if (!block->bytes) {
            std::free(block);
            return nullptr;
        }
    }
    block->size = size;
    ++gLiveBlocks;
    return block;
}

void* MemoryLock(MemoryHandle handle)
{
    MemoryBlock* block = static_cast<MemoryBlock*>(handle);
    return block ? block->bytes : nullptr;
}

void MemoryUnlock(MemoryHandle) {}

void MemoryFree(MemoryHandle handle)
{
    MemoryBlock* block = static_cast<MemoryBlock*>(handle);
    if (!block) return;
    std::free(block->bytes);
    std::free(block);
    --gLiveBlocks;
}

unsigned HostLiveMemoryBlocks() { return gLiveBlocks; }

unsigned LoadResourceString(unsigned id, char* buffer, unsigned size)
{
    if (!buffer || size == 0) return 0;
    const char* text = nullptr;
    if (id == IDS_SCRIPT_FILE_NAME) text = gScriptFileName.c_str();
    for (const StringEntry& entry : kStrings)
        if (entry.id == id) text = entry.text;
    unsigned n = 0;
    if (text)
        for (; text[n] && n + 1 < size; ++n) buffer[n] = text[n];
    buffer[n] = 0;
    return n;
}

void HostSetScriptFileName(const char* name) { gScriptFileName = name ? name : "INSTALL.INI"; }

int PayloadResourceExists(unsigned id) { return PayloadResources().count(id) != 0; }

void HostSetPayloadResource(unsigned id, int exists)
{
    if (exists) PayloadResources().insert(id);
    else PayloadResources().erase(id);
}

void HostClearPayloadResources() { PayloadResources().clear(); }

// The error mode has no effect on the host; it is kept so that the pair
// returns and restores modes as the system's does.
static unsigned gErrorMode = 0;
static const unsigned kFailCriticalErrors = 1;   // SEM_FAILCRITICALERRORS

unsigned SuppressCriticalErrors()
{
    unsigned previous = gErrorMode;
    gErrorMode = kFailCriticalErrors;
    return previous;
}

void RestoreErrorMode(unsigned mode) { gErrorMode = mode; }

void SetMainWindowTitle(const char* title) { gMainWindowTitle = title ? title : ""; }
const char* HostMainWindowTitle() { return gMainWindowTitle.c_str(); }

BitmapHandle LoadFontsBitmap(int*, int*) { return nullptr; }

void HostResetPlatform()
{
    HostClearMemoryFiles();
    HostResetAtoms();
    HostClearPayloadResources();
    HostSetScriptFileName(nullptr);
    gMainWindowTitle.clear();
    HostClearTransferCalls();
}
