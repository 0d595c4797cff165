#pragma once
#include <array>
#include <string>

#include "model/CommandList.h"
#include "model/Project.h"

namespace tandrel {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const Rect&) const = default;
};

using ColumnWidths = std::array<int, 5>;

// A face name and a size in tenths of a point; 0 = the default size.
struct FontSlot {
    std::wstring face;
    int size = 0;
    bool IsSet() const { return !face.empty() || size != 0; }
    bool operator==(const FontSlot&) const = default;
};

enum FontSlotIndex { FontDialog, FontToolBar, FontProjectList, FontSetupList, FontReportList, FontStatusBar, FontSlotCount };
// Key suffixes of the font slots, in slot order.
extern const wchar_t* const kFontSlotNames[FontSlotCount];

constexpr int kMaxParallelCopies = 32;

// Groups of options that load, save and copy act on together.
enum OptionGroup : unsigned {
    GroupLocation = 1,   // LocationOptions: iniPath, oldIniPath, useRegistry
    GroupVersion = 2,    // VersionOptions
    GroupLayout = 4,     // LayoutOptions: window rectangles, column widths, DivideY
    GroupProjects = 8,   // ActiveProject and the project list
    GroupSettings = 16,  // every project's folder settings and commands
    GroupSheet = 32,     // SheetOptions: everything the options sheet edits
    GroupAll = 63,
};

// Entries of the after-completion list (runMode); 5 and up are global commands.
enum RunMode { RunModeNothing = 0, RunModeMessage = 1, RunModeExit = 2, RunModeHibernate = 3, RunModeShutdown = 4, RunModeCommand = 5 };

constexpr const wchar_t* kDefaultSetupListWidths = L"40,240,280,280,160";
constexpr const wchar_t* kDefaultReportListWidths = L"96,528,140,140,96";

// The stored options, in the groups that load, save and copy act on
// together. A group is copied as a whole (GlobalOptions::CopyFrom), so a
// field added to its struct cannot be left out of the copy. Stored fields
// carry their INI key as name.
struct VersionOptions {
    std::wstring IniVersion;
    bool MinimizeOnTrayOnly = false;
    bool AutoExitWhenError = false;
};

struct LayoutOptions {
    ColumnWidths SetupList{40, 240, 280, 280, 160};
    ColumnWidths ReportList{96, 528, 140, 140, 96};
    Rect MainWindow;
    Rect FolderSettingDialog;
    int DivideY = 192;
};

// Everything the options sheet edits.
struct SheetOptions {
    bool ExecIfDetectMedia = false;
    int DetectMediaAction = 1;
    bool OutputLog = false;
    std::wstring LogFileName;
    bool OutputErrorOnly = false;
    bool OutputSkipLog = true;
    bool ClearLog = false;
    bool WriteLogImmediately = false;
    std::wstring IgnoreSystemFolderNames;
    std::wstring IgnoreSystemFileNames;
    int RecycleBinFileCount = 200;
    bool CheckRecycleBin = false;
    std::wstring CompareToolName, CompareToolPath, CompareToolParam;
    std::wstring LogViewToolName, LogViewToolPath, LogViewToolParam;
    CommandList commands;
    std::wstring FormatFolderSetResult;
    std::wstring FormatReportFileTime;
    std::array<FontSlot, FontSlotCount> fonts;
    // Copies at once: 0 leaves it to where the folders live, else 1 to
    // kMaxParallelCopies.
    int ParallelCopies = 0;
};

// Where the settings live (GroupLocation).
struct LocationOptions {
    std::wstring iniPath;
    std::wstring oldIniPath;
    bool useRegistry = false;
};

// The stored options only: the program-wide options, the window layout and
// the project list. What the process knows of itself and of this run is
// AppState's.
struct GlobalOptions : VersionOptions, LayoutOptions, SheetOptions, LocationOptions {
    // Stored (GroupProjects; the folder settings and commands GroupSettings).
    int ActiveProject = -1;
    ProjectCollection projects;

    // Copies the given groups from other.
    void CopyFrom(const GlobalOptions& other, unsigned groups);

    // Stored DetectMediaAction value <-> the 1..4 used in memory.
    static int DecodeDetectMediaAction(int stored);
    static int EncodeDetectMediaAction(int value);
};

}  // namespace tandrel
