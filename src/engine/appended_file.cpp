// The clean-up rule for files that the script assembles from parts: a first
// record that creates the destination, then records with the Append flag that
// add to its end, normally spread over consecutive disks.
//
// The decision rests on the last record fetched, L, with destination D. D is
// deleted exactly when the stopped run leaves it partly assembled:
// - L has Append, its transfer did not finish (Cancel in its disk prompt or
//   its error dialog, or Cancel seen after the choice to retry), and an
//   earlier record of the walk wrote D: D holds the earlier parts only. When
//   no earlier record wrote D, the run has not touched it and it stays.
// - L's transfer finished, and the next later record that names D has
//   Append: D lacks its later parts. This holds for a first part as well as
//   for a middle one, and across disk boundaries.
// In every other case D stays: a completed file is kept, and a transfer that
// failed has already put back what D held before it (an appended part is cut
// off again, any other destination deleted).
#include "engine/appended_file.h"

namespace {

int SameFile(const FileRecord& a, const FileRecord& b)
{
    return a.DirKind == b.DirKind && a.DestAtom == b.DestAtom;
}

// Disks the walk reaches: those before the first without records.
unsigned WalkedDisks(const WalkRecords& walk)
{
    unsigned n = 0;
    while (n < MaxDisks && walk.FileCount[n] && walk.Files[n]) ++n;
    return n;
}

int EarlierRecordWrote(const WalkRecords& walk, WalkPosition last, const FileRecord& file)
{
    for (unsigned disk = 0; disk <= last.Disk; ++disk) {
        unsigned end = disk == last.Disk ? last.Index : walk.FileCount[disk];
        for (unsigned i = 0; i < end; ++i)
            if (SameFile(walk.Files[disk][i], file)) return 1;
    }
    return 0;
}

int LaterPartFollows(const WalkRecords& walk, unsigned disks, WalkPosition last,
                     const FileRecord& file)
{
    for (unsigned disk = last.Disk; disk < disks; ++disk) {
        for (unsigned i = disk == last.Disk ? last.Index + 1 : 0; i < walk.FileCount[disk]; ++i) {
            const FileRecord& record = walk.Files[disk][i];
            // The first later record that names the file decides: a part
            // continues it, any other record would create it afresh.
            if (SameFile(record, file)) return (record.Flags & FlagAppend) != 0;
        }
    }
    return 0;
}

} // namespace

int AppendedFileIsIncomplete(const WalkRecords& walk, WalkPosition last, int finished)
{
    const unsigned disks = WalkedDisks(walk);
    if (last.Disk >= disks || last.Index >= walk.FileCount[last.Disk]) return 0;
    const FileRecord& file = walk.Files[last.Disk][last.Index];
    if (!file.DestAtom) return 0;
    if (!finished) return (file.Flags & FlagAppend) && EarlierRecordWrote(walk, last, file);
    return LaterPartFollows(walk, disks, last, file);
}
