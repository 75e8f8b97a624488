// Program Manager groups through DDE. The same commands go to the Program
// Manager of the old shell and to the new shell, which answers the same
// interface (service and topic "PROGMAN") with taskbar shortcuts.
#pragma once

// CreateProgramGroup (engine/closing_steps.h) deletes the groups of the
// replaced version, rebuilds the product's group and adds its items.

// Sends the command in WorkBuffer, its terminating zero included, over the
// conversation (an HCONV) without waiting for it to be carried out. Returns 1
// when the transaction was accepted, 0 when not.
int SendProgmanCommand(void* conversation);

// Ends the DDE instance if one was started.
void EndDde();

#ifdef _INC_DDEMLH
// The callback of a client that only executes commands.
HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conversation, HSZ string1, HSZ string2,
                              HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
#endif
