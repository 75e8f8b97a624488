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

// Variant `n` (0 to NameVariants - 1) of the file name `name`, in a 260-byte
// buffer: 0 is the name itself; from 1 on, the name after n in two digits
// and "~" (INSTALL.INI gives 01~INSTALL.INI, T.HLP gives 01~T.HLP).
enum : unsigned { NameVariants = 100 };
void FileNameVariant(char* variant, const char* name, unsigned n);

// Temporary name `attempt` beside the destination: variant `attempt` of the
// destination name with its last character replaced by "_", or by "~" when
// that would give the name itself.
// A temporary file is only ever created new: a name that is taken, by a file
// of the user's as much as by one of the script's, is passed over for the
// next attempt.
void TemporaryName(char* temporary, const char* destinationName, unsigned attempt);

// Puts one of the run's own files into the Windows directory: the script
// (resource 12000) or the help file (resource 12001, or in disk mode
// `sourceName` from SourceDir). It takes `name` or, when a file of that name
// is there, the first variant of it that is free; a file that is there is
// never touched. `path` receives the file's path (on failure, that of the
// last name tried). Returns 0 when this run made the file at `path`, else a
// dialog id.
unsigned PlaceRunFile(char* path, const char* name, const char* sourceName, unsigned resourceId);
