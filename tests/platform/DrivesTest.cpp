#include <gtest/gtest.h>

#include "platform/Drives.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::TestDrive;

// The four test drives, all without label to begin with.
class DrivesTest : public ::testing::Test {
protected:
    TestDrive e{L'E'}, f{L'F'}, g{L'G'}, h{L'H'};
};

FolderSetting BackupOnLabel(const std::wstring& backup, const std::wstring& label) {
    FolderSetting setting;
    setting.Master = L"C:\\Data";
    setting.Backup = backup;
    setting.Volume = label;
    setting.DetectDriveByVolumeBackup = true;
    return setting;
}

TEST_F(DrivesTest, FindsEveryDriveWithTheLabelIgnoringCase) {
    e.SetLabel(L"BACKUP");
    f.SetLabel(L"BACKUP");
    EXPECT_EQ(VolumeLabel(L"E:\\"), L"BACKUP");

    const DriveSearch found = FindDrivesByLabel(L"backup");
    EXPECT_EQ(found.count, 2);
    EXPECT_EQ(found.roots, L"E:\\ F:\\");

    EXPECT_EQ(FindDrivesByLabel(L"NO SUCH LABEL").count, 0);
    // Drives without a readable label match the empty label.
    EXPECT_NE(FindDrivesByLabel(L"").roots.find(L"G:\\ H:\\"), std::wstring::npos);
    EXPECT_EQ(VolumeLabel(L"Q:\\"), L"");
}

TEST_F(DrivesTest, DetectionMovesThePathToTheFoundDrive) {
    g.SetLabel(L"SAVEDISK");
    FolderSetting setting = BackupOnLabel(L"E:\\Data\\Save", L"SaveDisk");
    DriveDetector detector(setting);
    EXPECT_TRUE(detector.Detect(false, SideBoth));
    EXPECT_EQ(detector.side(SideBackup).status, DriveFound);
    EXPECT_EQ(detector.side(SideBackup).resolvedPath, L"G:\\Data\\Save");
    EXPECT_EQ(detector.side(SideBackup).root, L"G:\\");
    EXPECT_EQ(detector.side(SideMaster).status, DriveNotAsked);
    EXPECT_EQ(setting.Backup, L"E:\\Data\\Save");

    EXPECT_TRUE(detector.Detect(true, SideBackup));
    EXPECT_EQ(setting.Backup, L"G:\\Data\\Save");
    EXPECT_EQ(setting.Master, L"C:\\Data");

    // The backup side is not asked when only the master side is wanted.
    EXPECT_TRUE(detector.Detect(true, SideMaster));
    EXPECT_EQ(detector.side(SideBackup).status, DriveNotAsked);
}

TEST_F(DrivesTest, DetectionFailuresByStatus) {
    e.SetLabel(L"TWIN");
    f.SetLabel(L"TWIN");
    FolderSetting twin = BackupOnLabel(L"H:\\x", L"TWIN");
    DriveDetector ambiguous(twin);
    EXPECT_FALSE(ambiguous.Detect(true, SideBoth));
    EXPECT_EQ(ambiguous.side(SideBackup).status, DriveAmbiguous);
    EXPECT_EQ(ambiguous.side(SideBackup).foundRoots, L"E:\\ F:\\");
    EXPECT_EQ(twin.Backup, L"H:\\x");

    FolderSetting missing = BackupOnLabel(L"H:\\x", L"NOWHERE");
    DriveDetector notFound(missing);
    EXPECT_FALSE(notFound.Detect(true, SideBoth));
    EXPECT_EQ(notFound.side(SideBackup).status, DriveNotFound);
}

TEST_F(DrivesTest, DetectionOfShareAndRelativePaths) {
    g.SetLabel(L"MOVED");
    for (const auto& [path, resolved] : {std::pair{L"\\\\srv\\sh", L"G:\\"}, std::pair{L"\\\\srv\\sh\\d", L"G:\\d"},
                                         std::pair{L"rel\\dir", L"G:\\rel\\dir"}, std::pair{L"", L"G:\\"}}) {
        FolderSetting setting = BackupOnLabel(path, L"MOVED");
        DriveDetector detector(setting);
        EXPECT_TRUE(detector.Detect(true, SideBackup)) << test::Utf8(path);
        EXPECT_EQ(setting.Backup, resolved) << test::Utf8(path);
    }
}

TEST_F(DrivesTest, OpeningAFolderReportsWhyItsDriveIsNotThere) {
    SetEnvironmentVariableW(L"TANDREL_DATA", L"C:\\Data");
    e.SetLabel(L"TWIN");
    f.SetLabel(L"TWIN");
    g.SetLabel(L"ONE");
    const struct {
        const wchar_t* label;
        bool detect;
        const wchar_t* path;
        const wchar_t* message;
    } cases[] = {
        {L"ONE", false, L"C:\\Data\\Sub", nullptr},  // detection off: the expanded path
        {L"ONE", true, L"G:\\Data\\Sub", nullptr},
        {L"NOWHERE", true, L"", L"ボリュームラベル \"NOWHERE\" のドライブが見つかりません。"},
        {L"TWIN", true, L"", L"ボリュームラベル \"TWIN\" のドライブが複数見つかりました。"},
    };
    for (const auto& c : cases) {
        FolderSetting setting;
        setting.Master = L"%TANDREL_DATA%\\Sub";
        setting.VolumeMaster = c.label;
        setting.DetectDriveByVolumeMaster = c.detect;
        std::vector<std::wstring> statusTexts;
        test::MessageRecorder boxes;
        const std::wstring path = DetectDriveForOpen(setting, SideMaster, nullptr, [&](const std::wstring& text) {
            statusTexts.push_back(text);
        });
        EXPECT_EQ(path, c.path) << test::Utf8(c.label);
        EXPECT_EQ(statusTexts, (std::vector<std::wstring>{L"ドライブ判別中…", L"Tandrel Unicode"}));
        if (!c.message) {
            EXPECT_TRUE(boxes.Boxes().empty());
            continue;
        }
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, c.message);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"ドライブ判別エラー");
        EXPECT_EQ(boxes.Boxes()[0].flags & (MB_ICONSTOP | MB_TOPMOST), UINT(MB_ICONSTOP | MB_TOPMOST));
    }
    SetEnvironmentVariableW(L"TANDREL_DATA", nullptr);
}

// The count of copies at once follows where the two folders live.
TEST(CopyWorkersTest, ShareFirstThenOneDiskThenTwo) {
    const CopyPlace share{true, L""}, disk0{false, L"disk 0"}, disk1{false, L"disk 1"}, unknown{};
    EXPECT_EQ(DefaultCopyWorkers(share, disk0), 8);
    EXPECT_EQ(DefaultCopyWorkers(disk0, share), 8);
    EXPECT_EQ(DefaultCopyWorkers(share, share), 8);
    EXPECT_EQ(DefaultCopyWorkers(disk0, disk0), 1);
    EXPECT_EQ(DefaultCopyWorkers(disk0, disk1), 2);
    // Nothing known of either: not taken for one disk.
    EXPECT_EQ(DefaultCopyWorkers(unknown, unknown), 2);
    EXPECT_EQ(DefaultCopyWorkers(unknown, disk0), 2);
}

TEST(CopyWorkersTest, PlacesAsTheSystemNamesThem) {
    // S: is marked a network drive in the test prefix.
    EXPECT_TRUE(CopyPlaceOf(L"S:\\backup").remote);
    EXPECT_TRUE(CopyPlaceOf(L"\\\\server\\share\\backup").remote);
    EXPECT_TRUE(CopyPlaceOf(L"\\\\?\\UNC\\server\\share\\backup").remote);
    const CopyPlace local = CopyPlaceOf(L"E:\\master");
    EXPECT_FALSE(local.remote);
    EXPECT_FALSE(local.disk.empty());
    // A backup folder that does not exist yet lives where its drive does,
    // also in long-path form.
    const CopyPlace later = CopyPlaceOf(L"\\\\?\\E:\\not\\there\\yet");
    EXPECT_FALSE(later.remote);
    EXPECT_EQ(later.disk, local.disk);

    EXPECT_EQ(DefaultCopyWorkers(L"E:\\master", L"E:\\backup"), 1);
    EXPECT_EQ(DefaultCopyWorkers(L"E:\\master", L"S:\\backup"), 8);
    EXPECT_EQ(DefaultCopyWorkers(L"\\\\server\\share\\master", L"E:\\backup"), 8);
}

}  // namespace
}  // namespace tandrel
