// The install run. It owns the modeless progress dialog for its whole span
// and keeps one 16-bit status: 0 go on, 1 cancelled in the progress dialog
// (seen only where PumpMessages runs), any other value the id of the dialog
// whose Cancel ended the run. Every way out runs the same ending: fonts
// restored and the appended-file clean-up on failure, the dialog destroyed
// and the help context put back in every case.
#include <windows.h>
#include "engine/appended_file.h"
#include "engine/closing_steps.h"
#include "engine/install_run.h"
#include "engine/transfer.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "ui/dialogs.h"
#include "ui/gauge.h"
#include "ui/progress.h"

namespace {

// The last record the walk fetched, and whether its transfer succeeded; what
// the clean-up of a stopped run decides on.
struct WalkProgress {
    int Fetched;
    int Finished;
    WalkPosition Last;
};

void ShowStatusLine(const FileRecord& record)
{
    char description[NameSize];
    if (!record.DescAtom || !AtomGetName(record.DescAtom, description, sizeof description)) return;
    FormatText(State.WorkBuffer, WorkBufferSize, State.CopyingText ? State.CopyingText : "Copying %s...",
               description);
    ShowProgressStatus((HWND)State.ProgressDialog, State.WorkBuffer);
}

// One record, retried for as long as the user chooses Retry or OK. Returns
// the status: 0 when the file is in place and no cancel was seen.
//
// A set copied from its disks, or a CD, holds each disk in a folder DISK1,
// DISK2, ... side by side. In disk mode, when a file is not found and the
// source directory is such a folder of another disk than `disk`, the folder
// of `disk` beside it, named in the same letter case ("disk1" gives
// "disk2"), becomes the source directory when it holds the file, as if the
// user had entered it in the disk prompt. A folder of another set is caught
// as a damaged file is: the set records the checksum of every file by disk
// and name.
int UseSiblingDiskFolder(unsigned disk, const char* sourceName)
{
    const char* dir = State.SourceDir;
    const unsigned n = TextLength(dir);
    if (State.ScriptFromResource || n < 2 || dir[n - 1] != '\\') return 0;
    unsigned start = n - 1;
    while (start > 0 && dir[start - 1] != '\\' && dir[start - 1] != ':') --start;
    // DISK and a number from 1 to 32 without leading zeros.
    if (n - 1 - start < 5 || n - 1 - start > 6 || !TextStartsWithNoCase(dir + start, "DISK", 4) ||
        dir[start + 4] == '0')
        return 0;
    unsigned number = 0;
    for (unsigned i = start + 4; i < n - 1; ++i) {
        if (dir[i] < '0' || dir[i] > '9') return 0;
        number = number * 10 + (unsigned)(dir[i] - '0');
    }
    if (number == disk) return 0;
    char folder[PathSize], path[PathSize];
    TextCopyCount(folder, sizeof folder, dir, start + 4);
    char tail[8];
    FormatText(tail, sizeof tail, "%u\\", disk);
    if (TextAppend(folder, sizeof folder, tail) != start + 4 + TextLength(tail) ||
        TextCopy(path, sizeof path, folder) + TextLength(sourceName) >= sizeof path)
        return 0;
    TextAppend(path, sizeof path, sourceName);
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    TextCopy(State.SourceDir, sizeof State.SourceDir, folder);
    return 1;
}

unsigned short TransferRecord(const FileRecord& record, WalkProgress& progress)
{
    char source[PathSize], destination[PathSize];
    AtomGetName(record.SourceAtom, source, sizeof source);
    AtomGetName(record.DestAtom, destination, sizeof destination);
    progress.Fetched = 1;
    for (;;) {
        progress.Finished = 0;
        unsigned r = TransferFile(destination, source, record.DirKind, record.ResourceId, record.Flags);
        if (!r) {
            progress.Finished = 1;
            return PumpMessages();
        }
        if ((r == IDD_INSERT_DISK || r == IDD_FILE_NOT_FOUND) && UseSiblingDiskFolder(progress.Last.Disk + 1, source))
            continue;
        // A confirmed disk prompt (1700, 1800) has already made the entered
        // directory the new SourceDir, which the next attempt uses.
        if (!ShowDialog((unsigned short)r, (HWND)State.ProgressDialog)) return (unsigned short)r;
        unsigned short status = PumpMessages();
        if (status) return status;
    }
}

unsigned short WalkDisks(WalkProgress& progress)
{
    unsigned short status = 0;
    for (unsigned disk = 0; disk < MaxDisks && State.Disks[disk].FileCount && !status; ++disk) {
        DiskEntry& entry = State.Disks[disk];
        AtomGetName(entry.NameAtom, State.DiskPromptName, sizeof State.DiskPromptName);
        SetTransferDisk(disk + 1);
        const FileRecord* records = (const FileRecord*)GlobalLock((HGLOBAL)entry.Files);
        if (!records) {
            ShowDialog(IDD_OUT_OF_MEMORY, (HWND)State.ProgressDialog);
            return IDD_OUT_OF_MEMORY;
        }
        for (unsigned i = 0; i < entry.FileCount && !status; ++i) {
            const FileRecord& record = records[i];
            ShowStatusLine(record);
            // System32 files exist only on Windows NT with the new shell.
            if (record.DirKind == DirSystem32 && State.ShellFlags != (ShellWindowsNt | ShellNew)) continue;
            progress.Last.Disk = disk;
            progress.Last.Index = i;
            status = TransferRecord(record, progress);
        }
        GlobalUnlock((HGLOBAL)entry.Files);
    }
    return status;
}

// Deletes the destination of the last record fetched when the stopped run
// leaves it half-assembled from appended parts (the rule is in
// appended_file.cpp). Every disk block is locked for the decision only.
void CleanUpAppendedFile(const WalkProgress& progress)
{
    if (!progress.Fetched) return;
    WalkRecords walk;
    for (unsigned disk = 0; disk < MaxDisks; ++disk) {
        const DiskEntry& entry = State.Disks[disk];
        walk.Files[disk] = entry.FileCount ? (const FileRecord*)GlobalLock((HGLOBAL)entry.Files) : 0;
        walk.FileCount[disk] = walk.Files[disk] ? entry.FileCount : 0;
    }
    char name[PathSize], path[PathSize];
    name[0] = 0;
    unsigned kind = 0;
    if (AppendedFileIsIncomplete(walk, progress.Last, progress.Finished)) {
        const FileRecord& record = walk.Files[progress.Last.Disk][progress.Last.Index];
        AtomGetName(record.DestAtom, name, sizeof name);
        kind = record.DirKind;
    }
    for (unsigned disk = 0; disk < MaxDisks; ++disk)
        if (walk.Files[disk]) GlobalUnlock((HGLOBAL)State.Disks[disk].Files);
    if (name[0] && DirectoryPath(path, kind, name)) DeleteFileQuietly(path);
}

// The steps after the last file, which nothing can cancel any more and whose
// results are not looked at.
void RunClosingSteps(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    SetBusyCursor(dialog, 1);
    InstallFonts(FontsInstall);
    CreateProgramGroup();
    WriteProductSettings();
    RegisterUninstall();
    ProcessDeleteList();
    SetBusyCursor(0, 0);
}

} // namespace

int RunInstallation()
{
    const unsigned savedHelpContext = State.CurrentHelpContext;
    State.BytesCopied = 0;
    HWND dialog = CreateDialogParamA((HINSTANCE)State.Instance, MAKEINTRESOURCEA(IDD_PROGRESS), 0,
                                     ProgressDialogProc, 0);
    if (!dialog) return 0;
    State.ProgressDialog = dialog;
    State.ShowProgress = RefreshGauge;
    State.CurrentHelpContext = NoHelpContext;

    WalkProgress progress = {0, 0, {0, 0}};
    unsigned short status = PumpMessages();
    if (!status) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        status = PumpMessages();
    }
    if (!status) {
        CloseRunningCopies();
        InstallFonts(FontsRelease);
        // A drive without its disk makes an open fail instead of raising the
        // system's own error box, for the disk walk only.
        const UINT savedErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
        status = PumpMessages();
        if (!status) {
            ThrottleProgressPaint(1);
            status = WalkDisks(progress);
            ThrottleProgressPaint(0);
        }
        SetErrorMode(savedErrorMode);
    }
    if (!status) {
        // The gauge reads full whatever the bytes written came to; the
        // uninstall entry gives the size they came to.
        State.BytesWritten = (unsigned)State.BytesCopied;
        State.BytesCopied = State.DiskSpace;
        RefreshGauge();
        status = PumpMessages();
    }
    if (!status) {
        RunClosingSteps(dialog);
    } else {
        InstallFonts(FontsRestore);
        CleanUpAppendedFile(progress);
    }
    DestroyWindow(dialog);
    State.CurrentHelpContext = savedHelpContext;
    State.ProgressDialog = 0;
    State.ShowProgress = 0;
    return status == 0;
}
