// File transfer and expansion: one file record put in place.
#pragma once

// Resource mode: ExtractResourceFile; disk mode: ExpandFile from SourceDir.
// Returns 0 or the dialog id that describes the failure (1300, 1700, 1800).
unsigned TransferFile(const char* destinationName, const char* sourceName, unsigned kind,
                      unsigned resourceId, unsigned flags);
// Disk mode: the disk whose files are being installed, 1 to 32, which keys
// their recorded checksums (1 until the walk sets it: the help file lies on
// the first disk).
void SetTransferDisk(unsigned disk);
unsigned ExtractResourceFile(const char* destinationName, unsigned kind, unsigned resourceId,
                             unsigned flags);
unsigned ExpandFile(const char* destinationName, const char* sourceName, unsigned destinationKind,
                    unsigned sourceKind, unsigned flags);

// The directory of `kind` followed by `name`, in a 260-byte buffer. Returns 0
// when the two do not fit together (nothing is cut), nonzero otherwise.
int DirectoryPath(char* path, unsigned kind, const char* name);

// Puts the system's last error code in LastError, then `path` in
// CopyErrorPath.
void RecordCopyError(const char* path);

// The destination name with its last character replaced by "_", or by
// another character when that would give the name itself or a name the
// script uses.
void TemporaryName(char* temporary, const char* destinationName);
