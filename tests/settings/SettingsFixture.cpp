#include "SettingsFixture.h"

namespace tandrel::test {

namespace {
// A registry root of its own for each test of the process.
std::wstring NextRegistryRoot() {
    static unsigned counter = 0;
    return L"Software\\TandrelTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}
}  // namespace

SettingsTest::SettingsTest()
    : iniPath(dir / L"Tandrel.ini"), registryKey(NextRegistryRoot() + L"\\Tandrel Unicode"),
      registryRoot(registryKey.substr(0, registryKey.rfind(L'\\'))) {}

SettingsTest::~SettingsTest() {
    RegDeleteTreeW(HKEY_CURRENT_USER, registryRoot.c_str());
}

AppState SettingsTest::NewOptions() const {
    AppState o;
    o.Reset(L"1.000");
    o.iniPath = o.oldIniPath = iniPath;
    o.exeDirectory = dir.Path() + L"\\";
    o.registryKey = registryKey;
    return o;
}

Sections SettingsTest::ReadSections(const std::wstring& file) const {
    return ParseSections(ReadUtf16File(file.empty() ? iniPath : file));
}

Entries SettingsTest::Section(const std::wstring& section, const std::wstring& file) const {
    for (auto& [name, entries] : ReadSections(file)) {
        if (name == section) return entries;
    }
    return {};
}

std::wstring SettingsTest::Value(const std::wstring& section, const std::wstring& key, const std::wstring& file) const {
    for (const auto& [k, value] : Section(section, file)) {
        if (k == key) return value;
    }
    return L"<missing>";
}

void SettingsTest::WriteIni(const std::wstring& text, const std::wstring& file) const {
    const std::string bytes = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    ASSERT_TRUE(WriteBytes(file.empty() ? iniPath : file, bytes));
}

std::wstring SettingsTest::RegistryText(const std::wstring& subkey, const std::wstring& name) const {
    wchar_t data[1024] = {};
    DWORD type = 0, size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, (registryKey + L"\\" + subkey).c_str(), name.c_str(), RRF_RT_ANY, &type, data,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    if (type == REG_DWORD) {
        DWORD number = 0;
        memcpy(&number, data, sizeof number);
        return L"dword:" + std::to_wstring(number);
    }
    return data;
}

void SettingsTest::SetRegistryValue(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data,
                                    DWORD size) const {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (registryKey + L"\\" + subkey).c_str(), name.c_str(), type, data, size),
              ERROR_SUCCESS);
}

std::wstring FullSettingsText() {
    std::wstring fonts;
    for (int f = 0; f < FontSlotCount; ++f) {
        fonts += std::wstring(L"FontName") + kFontSlotNames[f] + L"=ＭＳ ゴシック" + std::to_wstring(f) + L"\r\n";
        fonts += std::wstring(L"FontSize") + kFontSlotNames[f] + L"=" + std::to_wstring(90 + f) + L"\r\n";
    }
    const std::wstring define =
        L"LastExec=1600000000\r\nLastCleanExec=1600000000\r\nLastFiles=1234\r\nLastSeconds=56\r\nLastTestFiles=321\r\nLastTestSeconds=4\r\nErrors=3\r\nAutoExec=0\r\nName=日本語の設定\r\nMaster=C:\\マスター\r\n"
        L"Backup=D:\\バックアップ\r\nVolumeMaster=MASTER\r\nVolume=BACKUP\r\nMirroring=0\r\nBackupType=1\r\n"
        L"DeleteConf=1\r\nDeleteRecycleBin=1\r\nDeleteGuard=0\r\nDeleteGuardPercent=30\r\nDeleteGuardFiles=20\r\n"
        L"DeleteHistory=1\r\nHistoryDir=E:\\履歴\r\nHistoryDays=7\r\nHistoryMinRuns=3\r\nOverwrite=0\r\nOverwriteAlways=1\r\nSubDir=0\r\n"
        L"SkipIfFolderNotExist=1\r\nCheckVolumeMaster=1\r\nCheckVolume=1\r\nVolErrorSkip=1\r\n"
        L"ExecIfDetectMediaVol=1\r\nDetectDriveByVolumeMaster=1\r\nDetectDriveByVolumeBackup=1\r\nVerify=1\r\n"
        L"NtfsToFat=0\r\nLeaveTime=17\r\nErrorLeave=1\r\nCopyLockedFile=1\r\nErrorNetPathRetry=1\r\n"
        L"NetPathRetryCount=9\r\nCheckFileName=1\r\nCopyFileTimeAll=1\r\nCopyFolderTime=1\r\nRenameCapital=0\r\n"
        L"ShowSkipFile=0\r\nMakeDateDir=1\r\nBackupDateDir=%Y-%m\r\nTargetType=3\r\nTargetFile=*.txt\r\n"
        L"TargetDirectory=+\\a\\\r\nIgnoreSystemFiles=0\r\nDeleteIgnoreTarget=1\r\nSkipTargetFileSize=1\r\n"
        L"TargetFileSize=10MB\r\nTargetDateType=2\r\nTargetDate=1500000000\r\nOutputLog=1\r\nOutputErrorOnly=1\r\n"
        L"OutputSkipLog=0\r\nClearLog=1\r\nWriteLogImmediately=1\r\nLogFileName=C:\\ログ\\%p.log\r\n"
        L"ScheduleType=2\r\nScheduleTime=48\r\n"
        L"CommandType0=0\r\nCommandEnable0=1\r\nCommandName0=前\r\nCommandPath0=before.exe\r\nCommandParam0=%m\r\n"
        L"CommandWindow0=3\r\nCommandOnMode0=1\r\nCommandOnError0=1\r\n"
        L"CommandType1=1\r\nCommandEnable1=0\r\nCommandName1=後\r\nCommandPath1=after.exe\r\nCommandParam1=%b\r\n"
        L"CommandWindow1=1\r\nCommandOnMode1=0\r\nCommandOnError1=1\r\n";
    return L"[Save]\r\nSaveRegistory=0\r\n"
           L"[Options]\r\nIniVersion=1.000\r\nMinimizeOnTrayOnly=1\r\nAutoExitWhenError=1\r\nDivideY=321\r\n"
           L"ActiveProject=2\r\nProjectCount=3\r\nProjectName=仕事\r\n"
           L"IgnoreSystemFolderNames=RECYCLER\r\nIgnoreSystemFileNames=Thumbs.db\r\nRecycleBinFileCount=77\r\n"
           L"CheckRecycleBin=0\r\nExecIfDetectMedia=1\r\nDetectMediaAction=2\r\nOutputLog=1\r\n"
           L"LogFileName=C:\\ログ\\all.log\r\nOutputErrorOnly=1\r\nOutputSkipLog=0\r\nClearLog=1\r\n"
           L"WriteLogImmediately=1\r\nParallelCopies=6\r\nFormatFolderSetResult=%Y年%m月\r\nFormatReportFileTime=%H:%M\r\n" +
           fonts +
           L"CompareToolName=比較\r\nCompareToolPath=C:\\diff.exe\r\nCompareToolParam=%m\r\nLogViewToolName=表示\r\n"
           L"LogViewToolPath=C:\\view.exe\r\nLogViewToolParam=%f %f\r\nExecToolCount=2\r\n"
           L"ExecToolName0=全体\r\nExecToolPath0=c0.exe\r\nExecToolParam0=/x\r\nExecToolWindow0=2\r\n"
           L"ExecToolAction0=3\r\nExecToolVisible0=1\r\n"
           L"ExecToolName1=\r\nExecToolPath1=c1.exe\r\nExecToolParam1=\r\nExecToolWindow1=0\r\n"
           L"ExecToolAction1=4\r\nExecToolVisible1=0\r\n"
           L"ListCount=1\r\nProject\\002\\ListCount=1\r\n"
           L"[Window]\r\nMainWindow=10 20 810 620\r\nFolderSettingDialog=-5 5 500 400\r\n"
           L"SetupList=1,2,3,4,5\r\nReportList=6,7,8,9,10\r\n"
           L"[Project\\001\\]\r\nProjectName=趣味\r\n"
           L"[Define 0]\r\n" + define + L"[Project\\002\\Define 0]\r\n" + define;
}

}  // namespace tandrel::test
