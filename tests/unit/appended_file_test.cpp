#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>
#include "engine/appended_file.h"

namespace {

// Destination atoms of the records below; the values only need to differ.
const AtomHandle Big = 10, Readme = 11, Other = 12;

FileRecord Record(AtomHandle dest, unsigned char flags = 0, unsigned char kind = DirTarget)
{
    FileRecord r = {};
    r.SourceAtom = 100;
    r.DestAtom = dest;
    r.ResourceId = FirstFileResourceId;
    r.DirKind = kind;
    r.Flags = FlagAllDisplays | flags;
    return r;
}

FileRecord Part(AtomHandle dest, unsigned char kind = DirTarget) { return Record(dest, FlagAppend, kind); }

// A walk over the disks given, one vector of records each.
class Walk {
public:
    Walk(std::initializer_list<std::vector<FileRecord>> disks) : disks_(disks)
    {
        for (unsigned i = 0; i < MaxDisks; ++i) {
            view_.Files[i] = i < disks_.size() && !disks_[i].empty() ? disks_[i].data() : nullptr;
            view_.FileCount[i] = i < disks_.size() ? (unsigned)disks_[i].size() : 0;
        }
    }
    int Incomplete(unsigned disk, unsigned index, int finished) const
    {
        return AppendedFileIsIncomplete(view_, WalkPosition{disk, index}, finished);
    }

private:
    std::vector<std::vector<FileRecord>> disks_;
    WalkRecords view_;
};

} // namespace

TEST(AppendedFile, PartsSpreadOverDisksAreDeletedWhileTheFileIsUnfinished)
{
    // BIG.DAT: its first part ends disk 1, the second opens disk 2, the third
    // opens disk 3.
    Walk walk({{Record(Readme), Record(Big)}, {Part(Big), Record(Other)}, {Part(Big)}});
    // Cancelled after the first part was written: the later parts are missing.
    EXPECT_TRUE(walk.Incomplete(0, 1, 1));
    // Cancel in the prompt for disk 2 (the second part not written).
    EXPECT_TRUE(walk.Incomplete(1, 0, 0));
    // Cancelled after the second part: the third is still to come.
    EXPECT_TRUE(walk.Incomplete(1, 0, 1));
    // Cancel in the prompt for the third part.
    EXPECT_TRUE(walk.Incomplete(2, 0, 0));
    // Cancelled after the last part (or in the run's last pump): complete.
    EXPECT_FALSE(walk.Incomplete(2, 0, 1));
}

TEST(AppendedFile, OtherFilesAndCompletedFilesStay)
{
    Walk walk({{Record(Readme), Record(Big)}, {Part(Big), Record(Other)}, {Part(Big)}});
    // Files that are not assembled from parts, finished or not.
    EXPECT_FALSE(walk.Incomplete(0, 0, 1));
    EXPECT_FALSE(walk.Incomplete(0, 0, 0));
    EXPECT_FALSE(walk.Incomplete(1, 1, 0));
    // The first part's own transfer did not finish: whatever stands at the
    // destination was not written by this run (an earlier installation's
    // copy), so it stays.
    EXPECT_FALSE(walk.Incomplete(0, 1, 0));
}

TEST(AppendedFile, AnAppendToAFileTheRunDidNotWriteKeepsIt)
{
    // A part that adds to a file already on the machine: cancelling before
    // it was written leaves that file as it was.
    Walk walk({{Record(Readme), Part(Big)}});
    EXPECT_FALSE(walk.Incomplete(0, 1, 0));
    EXPECT_FALSE(walk.Incomplete(0, 1, 1));
}

TEST(AppendedFile, SameNameInAnotherDirectoryIsAnotherFile)
{
    Walk walk({{Record(Big, 0, DirWindows), Part(Big, DirTarget)},
               {Record(Big, 0, DirTarget), Part(Big, DirSystem)}});
    // The part for the target directory follows a Windows-directory file.
    EXPECT_FALSE(walk.Incomplete(0, 0, 1));
    EXPECT_FALSE(walk.Incomplete(0, 1, 0));
    // The target file of disk 2 has no part after it in its own directory.
    EXPECT_FALSE(walk.Incomplete(1, 0, 1));
}

TEST(AppendedFile, ARecordThatCreatesTheFileAfreshEndsItsParts)
{
    // BIG.DAT assembled from two parts, later replaced by a whole copy.
    Walk walk({{Record(Big), Part(Big), Record(Readme), Record(Big)}});
    EXPECT_TRUE(walk.Incomplete(0, 0, 1));
    EXPECT_FALSE(walk.Incomplete(0, 1, 1));
    EXPECT_FALSE(walk.Incomplete(0, 2, 1));
}

TEST(AppendedFile, TheWalkEndsAtTheFirstDiskWithoutRecords)
{
    // Disk 2 keeps no record for this display: disk 3 is never reached, so
    // its part does not make disk 1's file incomplete.
    Walk walk({{Record(Big)}, {}, {Part(Big)}});
    EXPECT_FALSE(walk.Incomplete(0, 0, 1));
    // A position outside the walk decides nothing.
    EXPECT_FALSE(walk.Incomplete(2, 0, 0));
    EXPECT_FALSE(walk.Incomplete(0, 5, 0));
    EXPECT_FALSE(walk.Incomplete(MaxDisks, 0, 0));
}

TEST(AppendedFile, ThirtyTwoDisksAreScannedToTheLast)
{
    std::vector<FileRecord> filler = {Record(Readme)};
    Walk walk({{Record(Big)}, filler, filler, filler, filler, filler, filler, filler,
               filler, filler, filler, filler, filler, filler, filler, filler,
               filler, filler, filler, filler, filler, filler, filler, filler,
               filler, filler, filler, filler, filler, filler, filler, {Part(Big)}});
    EXPECT_TRUE(walk.Incomplete(0, 0, 1));
    EXPECT_TRUE(walk.Incomplete(31, 0, 0));
}
