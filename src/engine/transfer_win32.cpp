// File transfer: one file record put in place. A payload resource is written
// to a temporary file beside its destination, stamped with the resource date,
// and expanded to the destination through the handle that wrote it (no close
// and second open of the same name); a disk file is expanded straight from the
// source directory. Failures return 1300, 1700 or 1800 with the error
// recorded, and never leave a partly written destination or a temporary file.
//
// Files are opened with CreateFileA rather than OpenFile, whose structure
// holds only 127 characters of a path: every path that fits the 260-byte
// buffers works.
#include <windows.h>
#include "engine/expansion_win32.h"
#include "engine/resource_bounds_win32.h"
#include "engine/transfer.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

namespace {

const DWORD CopyAtOnceLimit = 0x40000;  // 262,144 bytes of compressed source
const unsigned ChunkSize = 0x7C00;      // 31,744 bytes

HANDLE OpenForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
}

// `disposition`: CREATE_ALWAYS, CREATE_NEW (only when there is no file of
// that name) or OPEN_EXISTING (to append).
HANDLE OpenForWriting(const char* path, DWORD disposition)
{
    return CreateFileA(path, GENERIC_WRITE, 0, 0, disposition, FILE_ATTRIBUTE_NORMAL, 0);
}

// Writes all `size` bytes. On failure the system's error code is current; a
// write that the system reports as done with fewer bytes (a full disk on some
// file systems) counts as ERROR_DISK_FULL rather than leaving a stale code.
BOOL WriteWhole(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, 0)) return FALSE;
    if (written == size) return TRUE;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

void RecordError(unsigned code, const char* path)
{
    State.LastError = code;
    TextCopy(State.CopyErrorPath, sizeof State.CopyErrorPath, path);
}

// A directory and name that do not fit 260 bytes together are refused before
// anything is opened or written; the report shows as much of the path as fits.
unsigned RefuseLongPath(unsigned kind, const char* name)
{
    char path[PathSize];
    DirectoryPath(path, kind, "");
    TextAppend(path, sizeof path, name);
    RecordError(ERROR_FILENAME_EXCED_RANGE, path);
    return IDD_COPY_ERROR;
}

// Only fixed and network drives hold files that are simply missing; any other
// drive (removable, CD-ROM, RAM disk, unknown, no root) may lack its disk.
int IsFixedOrNetworkDrive(const char* path)
{
    char root[PathSize];
    if (path[0] && path[1] == ':') {
        char drive[4] = {path[0], ':', '\\', 0};
        TextCopy(root, sizeof root, drive);
    } else if (path[0] == '\\' && path[1] == '\\') {
        // \\server\share\ is the root of a network path.
        unsigned n = 2, slashes = 0;
        while (path[n] && n + 1 < sizeof root) {
            if (path[n] == '\\' && ++slashes == 2) break;
            ++n;
        }
        TextCopyCount(root, sizeof root, path, n);
        TextAppend(root, sizeof root, "\\");
    } else {
        return 0;
    }
    UINT type = GetDriveTypeA(root);
    return type == DRIVE_FIXED || type == DRIVE_REMOTE;
}

unsigned ExpansionFailure(int status, const char* sourcePath, const char* destinationPath)
{
    if (status == SZDD_WRITE_FAULT)
        RecordError(GetLastError(), destinationPath);
    else if (status == SZDD_READ_FAULT)
        RecordError(GetLastError(), sourcePath);
    else
        RecordError(ERROR_INVALID_DATA, sourcePath);
    return IDD_COPY_ERROR;
}

// The bytes written so far, for the progress display while one is shown; how
// it draws them is its own business.
void CountCopied(int total)
{
    if (!State.ShowProgress) return;
    State.BytesCopied = total;
    State.ShowProgress();
}

unsigned CopyInChunks(HANDLE destination, const char* sourcePath, const char* destinationPath)
{
    unsigned size = ChunkSize;
    HGLOBAL block = 0;
    unsigned char* buffer = 0;
    for (; size > 4096; size -= 1024) {
        block = GlobalAlloc(GMEM_MOVEABLE, size);
        if (block && (buffer = (unsigned char*)GlobalLock(block))) break;
        if (block) GlobalFree(block);
        block = 0;
    }
    if (!buffer) {
        buffer = (unsigned char*)State.WorkBuffer;
        size = WorkBufferSize;
    }
    unsigned result = 0;
    for (;;) {
        int n = ExpansionRead(buffer, size);
        if (n < 0) {
            result = ExpansionFailure(n, sourcePath, destinationPath);
            break;
        }
        if (n == 0) break;
        if (!WriteWhole(destination, buffer, (DWORD)n)) {
            RecordError(GetLastError(), destinationPath);
            result = IDD_COPY_ERROR;
            break;
        }
        CountCopied(State.BytesCopied + n);
        if ((unsigned)n != size) break;
    }
    if (block) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
    return result;
}

// The times of a source as it was opened. Reading a file moves its
// last-access time on most file systems, and the destination is to carry
// the times the stored file had, so they are taken before the expansion.
struct FileTimes {
    FILETIME Created, Accessed, Written;
    BOOL Known;
};

void ReadFileTimes(FileTimes* times, HANDLE source)
{
    times->Known = GetFileTime(source, &times->Created, &times->Accessed, &times->Written);
}

void CopyFileTimes(HANDLE destination, const FileTimes* times)
{
    if (times->Known) SetFileTime(destination, &times->Created, &times->Accessed, &times->Written);
}

} // namespace

void RecordCopyError(const char* path) { RecordError(GetLastError(), path); }

void TemporaryName(char* temporary, const char* destinationName, unsigned attempt)
{
    FileNameVariant(temporary, destinationName, attempt);
    unsigned n = TextLength(temporary);
    if (!n) return;
    // The last character becomes "_". Only where that gives the destination
    // itself (a name that ends in "_") does the name take another character
    // instead: the destination is opened while the temporary file is open.
    // A temporary file is only ever created new, so one named as another
    // file of the script is no danger to it: a file that is there already
    // has its name taken, and one that is not there yet is made after the
    // temporary file is gone.
    temporary[n - 1] = '_';
    if (TextEqualNoCase(temporary, destinationName)) temporary[n - 1] = '~';
}

namespace {

// Whether a creation of a new file failed only because the name is taken.
bool NameTaken(unsigned error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

unsigned ResourceDataSize(unsigned size, unsigned id)
{
    char text[16];
    unsigned cap = 0;
    if (id >= KIV_CAP_STRING_OFFSET &&
        LoadStringA((HINSTANCE)State.Instance, id - KIV_CAP_STRING_OFFSET, text, sizeof text))
        cap = (unsigned)TextToLong(text);
    return cap && size > cap ? cap : size;
}

// The attributes a transferred file gets afterwards (the font flags on the new
// shell); 0 for none.
DWORD FinalAttributes(unsigned flags)
{
    DWORD attributes = 0;
    if (State.ShellFlags & ShellNew) {
        if (flags & (FlagHiddenFont | FlagSystemFont)) attributes = FILE_ATTRIBUTE_HIDDEN;
        if ((flags & FlagSystemFont) && State.ShellFlags == ShellNew && State.OsMajor == 4 &&
            State.OsMinor == 0)
            attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    return attributes;
}

// A source file open for reading at its start: the handle, which the
// expansion takes over and closes, with its path (named in reports), its size
// and the times the destination is to carry.
struct OpenSource {
    HANDLE File;
    const char* Path;
    DWORD Size;
    FileTimes Times;
};

// Expands `source` to the destination path; the rest of ExpandFile's work
// once its source is open. The source handle is closed in every case.
unsigned ExpandOpenSource(const OpenSource& source, const char* destinationPath, unsigned flags)
{
    int savedBytes = State.BytesCopied;
    int append = (flags & FlagAppend) != 0;
    DWORD attributes = FinalAttributes(flags);
    const char* sourcePath = source.Path;
    int copyAtOnce = source.Size <= CopyAtOnceLimit && !append;

    int status = ExpansionOpen(source.File);
    if (status) {
        ExpansionFailure(status, sourcePath, destinationPath);
        ExpansionClose();
        return IDD_COPY_ERROR;
    }
    // An appended part that fails is cut off again rather than taking the
    // whole file with it: what was there before stays (it may be a file the
    // installation did not make) and Retry appends the part afresh.
    const DWORD earlierAttributes = append ? GetFileAttributesA(destinationPath) : INVALID_FILE_ATTRIBUTES;
    // A new file is simply created: only a file already there can have
    // attributes to reset, and looking first costs a search of the directory
    // for every file of a fresh installation.
    HANDLE destination = append ? INVALID_HANDLE_VALUE : OpenForWriting(destinationPath, CREATE_NEW);
    if (destination == INVALID_HANDLE_VALUE && !(flags & FlagNewFileOnly)) {
        SetFileAttributesA(destinationPath, FILE_ATTRIBUTE_NORMAL);
        destination = OpenForWriting(destinationPath, append ? OPEN_EXISTING : CREATE_ALWAYS);
    }
    if (destination == INVALID_HANDLE_VALUE) {
        RecordCopyError(destinationPath);
        ExpansionClose();
        return IDD_COPY_ERROR;
    }
    LONG earlierHigh = 0;
    DWORD earlierLow = 0;
    if (append) earlierLow = SetFilePointer(destination, 0, &earlierHigh, FILE_END);
    if (append && earlierLow == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        RecordCopyError(destinationPath);
        CloseHandle(destination);
        ExpansionClose();
        return IDD_COPY_ERROR;
    }

    unsigned result = 0;
    if (copyAtOnce) {
        status = ExpansionCopy(destination);
        if (status) {
            result = ExpansionFailure(status, sourcePath, destinationPath);
        } else {
            CountCopied(State.BytesCopied + (int)GetFileSize(destination, 0));
        }
    } else {
        result = CopyInChunks(destination, sourcePath, destinationPath);
    }
    // A damaged payload fails like a read fault: in resource mode the report
    // names the file the user knows, in disk mode the damaged file itself.
    if (!result && !ExpansionMatchesRecord()) {
        RecordError(ERROR_CRC, State.ScriptFromResource ? destinationPath : sourcePath);
        result = IDD_COPY_ERROR;
    }
    if (!result) CopyFileTimes(destination, &source.Times);
    int cutBack = 0;
    if (result && append) {
        LONG high = earlierHigh;
        DWORD low = SetFilePointer(destination, (LONG)earlierLow, &high, FILE_BEGIN);
        cutBack = (low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR) &&
                  SetEndOfFile(destination);
    }
    ExpansionClose();
    CloseHandle(destination);

    if (result) {
        if (!cutBack)
            DeleteFileQuietly(destinationPath);
        else if (earlierAttributes != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesA(destinationPath, earlierAttributes);
        CountCopied(savedBytes);
    } else if (attributes) {
        SetFileAttributesA(destinationPath, attributes);
    }
    return result;
}

} // namespace

unsigned ExpandFile(const char* destinationName, const char* sourceName, unsigned destinationKind,
                    unsigned sourceKind, unsigned flags)
{
    char sourcePath[PathSize], destinationPath[PathSize];
    if (!DirectoryPath(sourcePath, sourceKind, sourceName)) return RefuseLongPath(sourceKind, sourceName);
    if (!DirectoryPath(destinationPath, destinationKind, destinationName))
        return RefuseLongPath(destinationKind, destinationName);

    HANDLE file = OpenForReading(sourcePath);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (!IsFixedOrNetworkDrive(sourcePath)) return IDD_INSERT_DISK;
        TextCopy(State.MessageArg, sizeof State.MessageArg, sourceName);
        if (!State.ScriptFromResource) return IDD_FILE_NOT_FOUND;
        RecordError(error, sourcePath);
        return IDD_COPY_ERROR;
    }
    OpenSource source = {file, sourcePath, GetFileSize(file, 0), {}};
    ReadFileTimes(&source.Times, file);
    return ExpandOpenSource(source, destinationPath, flags);
}

namespace {

// The temporary file of a payload, open for writing it and for the expansion
// to read it back through the same handle. It is only ever a new file: a
// name that is taken fails with ERROR_FILE_EXISTS, and the caller tries
// another. On Windows NT the system deletes the file when that handle
// closes, even when the process ends first, which also spares a second
// lookup of the name in a directory that grows with every file; the file is
// kept out of the write-back while it lives. The 95 family is not relied on
// for either flag: there the caller deletes the file by name.
HANDLE CreateTemporary(const char* path)
{
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (State.ShellFlags & ShellWindowsNt) flags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, CREATE_NEW, flags, 0);
}

} // namespace

unsigned ExtractResourceFile(const char* destinationName, unsigned kind, unsigned resourceId,
                             unsigned flags)
{
    char temporaryName[PathSize], temporaryPath[PathSize], destinationPath[PathSize];
    ExpectPayloadCrc(resourceId, 0);
    if (!DirectoryPath(destinationPath, kind, destinationName)) return RefuseLongPath(kind, destinationName);

    HMODULE module = (HMODULE)State.Instance;
    unsigned size;
    const unsigned char* data = LockResourceInImage(
        module, FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(KIV_PAYLOAD_TYPE)), &size);
    OpenSource source = {INVALID_HANDLE_VALUE, temporaryPath, 0, {}};
    for (unsigned attempt = 0; attempt < NameVariants; ++attempt) {
        TemporaryName(temporaryName, destinationName, attempt);
        // A temporary name longer than the destination's that does not fit:
        // the refusal names the file the user knows.
        if (!DirectoryPath(temporaryPath, kind, temporaryName)) return RefuseLongPath(kind, destinationName);
        if (!data) break;
        source.File = CreateTemporary(temporaryPath);
        if (source.File != INVALID_HANDLE_VALUE || !NameTaken(GetLastError())) break;
    }
    if (source.File == INVALID_HANDLE_VALUE) {
        RecordCopyError(temporaryPath);
        return IDD_COPY_ERROR;
    }
    unsigned result = 0;
    source.Size = ResourceDataSize(size, resourceId);
    FILETIME local;
    DosDateTimeToFileTime(State.ResourceFileDate, State.ResourceFileTime, &local);
    LocalFileTimeToFileTime(&local, &source.Times.Written);
    source.Times.Created = source.Times.Accessed = source.Times.Written;
    source.Times.Known = TRUE;
    // The stamp is the file's own while it exists, and the destination
    // takes the same three times from here rather than asking the file.
    if (WriteWhole(source.File, data, source.Size)) {
        SetFileTime(source.File, &source.Times.Created, &source.Times.Accessed, &source.Times.Written);
        if (SetFilePointer(source.File, 0, 0, FILE_BEGIN) != 0) result = IDD_COPY_ERROR;
    } else {
        result = IDD_COPY_ERROR;
    }
    if (result) {
        RecordCopyError(temporaryPath);
        CloseHandle(source.File);
    } else {
        result = ExpandOpenSource(source, destinationPath, flags);
    }
    if (!(State.ShellFlags & ShellWindowsNt)) DeleteFileQuietly(temporaryPath);
    return result;
}

unsigned TransferFile(const char* destinationName, const char* sourceName, unsigned kind,
                      unsigned resourceId, unsigned flags)
{
    if (State.ScriptFromResource) return ExtractResourceFile(destinationName, kind, resourceId, flags);
    ExpectPayloadCrc(resourceId, sourceName);
    return ExpandFile(destinationName, sourceName, kind, DirSource, flags);
}

unsigned PlaceRunFile(char* path, const char* name, const char* sourceName, unsigned resourceId)
{
    char variant[PathSize];
    unsigned result = 0;
    // The transfer only ever creates a new file: a name that is taken fails
    // it with ERROR_FILE_EXISTS, and the next variant is tried. A path that
    // does not fit is empty, and its transfer refuses it.
    for (unsigned n = 0; n < NameVariants; ++n) {
        FileNameVariant(variant, name, n);
        DirectoryPath(path, DirWindows, variant);
        result = TransferFile(variant, sourceName, DirWindows, resourceId, FlagNewFileOnly);
        if (result != IDD_COPY_ERROR || !NameTaken(State.LastError)) break;
    }
    return result;
}
