// The decisions on single entries, from listings made in memory: the
// overwrite rules, the time tolerance of a FAT backup, letter case, the size
// and date filters, and what the deletion pass removes.
#include <gtest/gtest.h>

#include <functional>

#include "engine/FolderPlan.h"
#include "platform/Strings.h"

namespace tandrel {

void PrintTo(const FileDecision& d, std::ostream* out) {
    *out << "action " << static_cast<int>(d.action) << ", update " << static_cast<int>(d.update) << ", skip "
         << static_cast<int>(d.skip) << (d.renameCase ? ", rename" : "");
}

void PrintTo(const FolderDecision& d, std::ostream* out) {
    *out << "folder action " << static_cast<int>(d.action) << ", skip " << static_cast<int>(d.skip);
}

namespace {

constexpr std::int64_t kBase = 1700000000;  // seconds since 1970

FindEntry File(const std::wstring& name, std::int64_t seconds, std::uint64_t size = 10) {
    FindEntry entry;
    entry.name = name;
    const auto ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    entry.write = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    entry.creation = entry.access = entry.write;
    entry.size = size;
    return entry;
}

FileDecision Do(FileAction action) {
    return {action, UpdateReason::None, SkipReason::None, false};
}
FileDecision Update(UpdateReason reason, bool renameCase = false) {
    return {FileAction::Update, reason, SkipReason::None, renameCase};
}
FileDecision Skip(SkipReason reason) {
    return {FileAction::Skip, UpdateReason::None, reason, false};
}

TEST(FolderPlanTest, AMasterFileIsComparedByTheOverwriteRulesToleranceAndLetterCase) {
    const FindEntry master = File(L"a.txt", kBase);
    const struct Case {
        const char* what;
        FindEntry backup;
        std::function<void(FolderSetting&)> setting;
        FileDecision expected;
    } cases[] = {
        {"same time and size", File(L"a.txt", kBase), {}, Do(FileAction::None)},
        {"within the FAT tolerance", File(L"a.txt", kBase - 2), {}, Do(FileAction::None)},
        {"the backup within it the other way", File(L"a.txt", kBase + 2), {}, Do(FileAction::None)},
        {"beyond the tolerance", File(L"a.txt", kBase - 3), {}, Update(UpdateReason::Newer)},
        {"no tolerance without a FAT backup", File(L"a.txt", kBase - 1),
         [](FolderSetting& s) { s.NtfsToFat = false; }, Update(UpdateReason::Newer)},
        {"a wider tolerance", File(L"a.txt", kBase - 9), [](FolderSetting& s) { s.LeaveTime = 10; },
         Do(FileAction::None)},
        {"same time, other size", File(L"a.txt", kBase, 11), {}, Update(UpdateReason::DifferentSize)},
        {"backup newer, overwritten", File(L"a.txt", kBase + 60), {}, Update(UpdateReason::BackupNewer)},
        {"backup newer, kept", File(L"a.txt", kBase + 60), [](FolderSetting& s) { s.Overwrite = false; },
         Skip(SkipReason::BackupNewer)},
        {"backup newer, kept, but spelt otherwise", File(L"A.txt", kBase + 60),
         [](FolderSetting& s) { s.Overwrite = false; }, Do(FileAction::CaseRename)},
        {"backup newer, kept, spelt otherwise, case left", File(L"A.txt", kBase + 60),
         [](FolderSetting& s) {
             s.Overwrite = false;
             s.RenameCapital = false;
         },
         Skip(SkipReason::BackupNewer)},
        {"same, always overwritten", File(L"a.txt", kBase), [](FolderSetting& s) { s.OverwriteAlways = true; },
         Update(UpdateReason::Always)},
        {"same but spelt otherwise", File(L"A.TXT", kBase), {}, Do(FileAction::CaseRename)},
        {"same, spelt otherwise, case left", File(L"A.TXT", kBase),
         [](FolderSetting& s) { s.RenameCapital = false; }, Do(FileAction::None)},
        {"updated and renamed", File(L"A.txt", kBase - 60), {}, Update(UpdateReason::Newer, true)},
        {"another name of the same length is no case rename", File(L"b.txt", kBase), {}, Do(FileAction::None)},
        {"backup time before 1970", File(L"a.txt", -10), {}, Skip(SkipReason::BackupTimeInvalid)},
        {"too large with a backup", File(L"a.txt", kBase - 60),
         [](FolderSetting& s) {
             s.SkipTargetFileSize = true;
             s.TargetFileSize = {10, 0};
         },
         Skip(SkipReason::TooLarge)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FolderSetting setting;
        if (c.setting) c.setting(setting);
        EXPECT_EQ(DecideMasterFile(master, FilterOutcome::Target, Counterpart::File, &c.backup, setting), c.expected);
    }
    // A backup file whose entry could not be read has no time to compare.
    EXPECT_EQ(DecideMasterFile(master, FilterOutcome::Target, Counterpart::File, nullptr, FolderSetting{}),
              Skip(SkipReason::BackupTimeInvalid));
}

TEST(FolderPlanTest, FiltersMasterTimesAndTheBackupsKindComeBeforeAnyComparison) {
    const FindEntry master = File(L"a.txt", kBase);
    FolderSetting plain;
    const auto decide = [&](const FindEntry& entry, FilterOutcome outcome, Counterpart counterpart,
                            const FolderSetting& setting) {
        return DecideMasterFile(entry, outcome, counterpart, nullptr, setting);
    };
    EXPECT_EQ(decide(master, FilterOutcome::Excluded, Counterpart::Missing, plain), Skip(SkipReason::NotTarget));
    EXPECT_EQ(decide(master, FilterOutcome::NotListed, Counterpart::Unknown, plain), Skip(SkipReason::NotTarget));
    EXPECT_EQ(decide(File(L"a.txt", -1), FilterOutcome::NoDecision, Counterpart::Missing, plain),
              Skip(SkipReason::MasterTimeInvalid));
    // Until the backup is known, only the disk can say more.
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Unknown, plain), Do(FileAction::Check));
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Missing, plain), Do(FileAction::Create));
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Folder, plain), Do(FileAction::Replace));
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Unreadable, plain),
              Skip(SkipReason::BackupUnreadable));

    FolderSetting dated;
    dated.TargetDateType = 1;
    dated.TargetDate = kBase + 1;
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Unknown, dated), Skip(SkipReason::OutsideDates));
    dated.TargetDate = kBase;
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Unknown, dated), Do(FileAction::Check));
    FolderSetting since;
    since.TargetDateType = 2;
    since.LastCleanExec = kBase;
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Missing, since), Skip(SkipReason::OutsideDates));

    FolderSetting sized;
    sized.SkipTargetFileSize = true;
    sized.TargetFileSize = {10, 0};
    EXPECT_EQ(decide(master, FilterOutcome::Target, Counterpart::Missing, sized), Skip(SkipReason::TooLargeNew));
    EXPECT_EQ(decide(File(L"a.txt", kBase, 9), FilterOutcome::Target, Counterpart::Missing, sized),
              Do(FileAction::Create));
}

TEST(FolderPlanTest, TheDeletionPassRemovesWhatTheMasterLacksAndNonTargetsOnlyWhenAsked) {
    const FileDecision remove = Do(FileAction::Delete), kept = Skip(SkipReason::Kept), check = Do(FileAction::Check);
    const struct Case {
        FilterOutcome outcome;
        bool insideRemoved, deleteIgnoreTarget;
        Counterpart master;
        FileDecision expected;
    } cases[] = {
        {FilterOutcome::Target, false, false, Counterpart::Unknown, check},
        {FilterOutcome::Target, false, false, Counterpart::Missing, remove},
        {FilterOutcome::Target, false, false, Counterpart::Folder, remove},
        {FilterOutcome::Target, false, false, Counterpart::File, kept},
        // A master that could not be asked says nothing about what it lacks.
        {FilterOutcome::NoDecision, false, true, Counterpart::Unreadable, kept},
        {FilterOutcome::Excluded, false, false, Counterpart::Missing, kept},
        {FilterOutcome::Excluded, false, true, Counterpart::File, remove},
        {FilterOutcome::NotListed, false, true, Counterpart::Unknown, remove},
        // Inside a folder being removed the master is not asked.
        {FilterOutcome::Target, true, false, Counterpart::Unknown, remove},
        {FilterOutcome::Excluded, true, false, Counterpart::Unknown, kept},
        {FilterOutcome::Excluded, true, true, Counterpart::Unknown, remove},
        {FilterOutcome::NotListed, true, true, Counterpart::Unknown, kept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        FolderSetting setting;
        setting.DeleteIgnoreTarget = c.deleteIgnoreTarget;
        EXPECT_EQ(DecideBackupFile(c.outcome, c.insideRemoved, c.master, setting), c.expected);
    }
}

TEST(FolderPlanTest, FoldersAreCreatedEnteredDeferredOrRemovedByWhatTheOtherSideHolds) {
    const FolderDecision check{FolderAction::Check, SkipReason::None}, create{FolderAction::Create, SkipReason::None},
        enter{FolderAction::Enter, SkipReason::None}, replace{FolderAction::Replace, SkipReason::None},
        remove{FolderAction::Remove, SkipReason::None}, none{FolderAction::None, SkipReason::None},
        kept{FolderAction::Skip, SkipReason::Kept};
    // The copy pass on a master folder.
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::Excluded, Counterpart::Missing),
              (FolderDecision{FolderAction::Skip, SkipReason::NotTarget}));
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::NoDecision, Counterpart::Unknown), check);
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::Target, Counterpart::Missing), create);
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::Target, Counterpart::Folder), enter);
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::Target, Counterpart::File), replace);
    EXPECT_EQ(DecideMasterFolder(FilterOutcome::Target, Counterpart::Unreadable),
              (FolderDecision{FolderAction::Skip, SkipReason::BackupUnreadable}));

    // The deletion pass on a backup folder.
    const struct Case {
        FilterOutcome outcome;
        bool insideRemoved, deleteIgnoreTarget;
        Counterpart master;
        bool planned;
        FolderDecision expected;
    } cases[] = {
        {FilterOutcome::Target, false, false, Counterpart::Unknown, false, check},
        {FilterOutcome::Target, false, false, Counterpart::Missing, false, remove},
        {FilterOutcome::Target, false, false, Counterpart::File, false, remove},
        // The copy pass found nothing to delete in there.
        {FilterOutcome::Target, false, false, Counterpart::Folder, false, none},
        {FilterOutcome::Target, false, false, Counterpart::Folder, true, enter},
        // A master that could not be asked removes nothing.
        {FilterOutcome::Target, false, true, Counterpart::Unreadable, false, none},
        {FilterOutcome::Target, false, false, Counterpart::Unreadable, true, enter},
        {FilterOutcome::Excluded, false, false, Counterpart::Missing, true, kept},
        {FilterOutcome::NotListed, false, true, Counterpart::Folder, false, remove},
        // Inside a folder being removed the master is not asked.
        {FilterOutcome::Target, true, false, Counterpart::Unknown, false, remove},
        {FilterOutcome::Excluded, true, false, Counterpart::Unknown, false, kept},
        {FilterOutcome::Excluded, true, true, Counterpart::Unknown, false, remove},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        FolderSetting setting;
        setting.DeleteIgnoreTarget = c.deleteIgnoreTarget;
        EXPECT_EQ(DecideBackupFolder(c.outcome, c.insideRemoved, c.master, c.planned, setting), c.expected);
    }
}

}  // namespace
}  // namespace tandrel
