// File transfer on the host. kivpack checks scripts and installs nothing, so
// the transfers that the loader asks for (the extracted script, the help
// file) are only recorded, for the tests to inspect, and reported done.
#include "engine/transfer.h"
#include "platform/host/host_platform.h"
#include "script/installer_state.h"

namespace {

std::vector<HostTransferCall>& Calls()
{
    static std::vector<HostTransferCall> calls;
    return calls;
}

std::string Text(const char* text) { return text ? text : ""; }

}   // namespace

unsigned TransferFile(const char* destinationName, const char* sourceName, unsigned kind,
                      unsigned resourceId, unsigned flags)
{
    Calls().push_back(HostTransferCall{"TransferFile", Text(destinationName), Text(sourceName), kind,
                                       resourceId, flags});
    return 0;
}

unsigned ExtractResourceFile(const char* destinationName, unsigned kind, unsigned resourceId,
                             unsigned flags)
{
    Calls().push_back(
        HostTransferCall{"ExtractResourceFile", Text(destinationName), "", kind, resourceId, flags});
    return 0;
}

unsigned PlaceRunFile(char* path, const char* name, const char* sourceName, unsigned resourceId)
{
    DirectoryPath(path, DirWindows, name);
    return TransferFile(name, sourceName, DirWindows, resourceId, FlagNewFileOnly);
}

const std::vector<HostTransferCall>& HostTransferCalls() { return Calls(); }
void HostClearTransferCalls() { Calls().clear(); }
