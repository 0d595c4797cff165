#pragma once
#include <functional>
#include <string>
#include <vector>

#include "model/AppState.h"

namespace tandrel {

// What a folder-setting save writes.
enum SaveParts : unsigned {
    PartResult = 1,      // LastExec, LastCleanExec, Errors and the last run's figures
    PartAutoExec = 2,
    PartDefinition = 4,  // every other key, both command slots included
    PartAll = 255,
};

enum ImportResult { ImportDone = 0, ImportNeedsConfirmation = 1, ImportFailed = 2 };

// How the user hears that the settings file is no longer saved this run:
// text is IDS_INI_UNWRITABLE (settingsWriteError) or IDS_INI_UNREADABLE
// (settingsReadError). The program hands it to its window, so that no
// worker waits on a box; without a notice set, the box shows at once.
using SettingsNotice = std::function<void(const AppState& options, unsigned text)>;
void SetSettingsNotice(SettingsNotice notice);
void NotifySettingsUnsaved(const AppState& options, unsigned text);
// The notice's text, and the box that shows it.
std::wstring SettingsNoticeText(const AppState& options, unsigned text);
void ShowSettingsNotice(const AppState& options, unsigned text);
// Settings of one kind beyond these counts are not read.
constexpr int kMaxGlobalCommands = 1000;

// The start-up load of the options, the layout and the project list from the
// store options point at. With noSave only the version group is read and the
// rest takes fixed start values. Sets loaded.
void LoadAtStart(AppState& options);
// Reads the given OptionGroup bits; missing keys give the defaults.
void LoadOptions(AppState& options, unsigned groups);
// Writes the given groups, stopping at the first failed write.
bool SaveOptions(AppState& options, unsigned groups);

// Whether the store options point at can be read now: 0, or
// ERROR_FILE_NOT_FOUND when there is no settings file, or the system error
// that kept it from being read. Such a file would seem to hold nothing, so
// this also sets settingsReadError: nothing is written over it for the rest
// of the run. So does a missing file that was there before in this run.
unsigned long CheckStoreReadable(AppState& options);

// Reads project p's folder settings (resized to their stored count, at most
// 1000) and the commands they refer to; returns the count. A settings file
// that cannot be read gives none and sets settingsReadError.
int LoadProjectSettings(AppState& options, std::vector<FolderSetting>& settings, CommandList& commands,
                        int project);
// A negative index writes the count and every setting; otherwise only that
// setting, or every setting while options.dirtyOrder is set, which a
// successful save clears.
bool SaveProjectSettings(AppState& options, const std::vector<FolderSetting>& settings,
                         const CommandList& commands, int project, int index, unsigned parts);
bool SaveSetting(AppState& options, const FolderSetting& setting, const CommandList& commands, int project,
                 int index, unsigned parts);
// Removes project p's name, its count key and the sections of its first
// count settings.
bool DeleteProjectKeys(AppState& options, int count, int project);
// Writes ActiveProject (-1 when it is not below count) and ProjectCount.
bool SetProjectCount(AppState& options, int count);

// The save when the program ends: the storage choice under "Save", then the
// options, layout and project list. Writes nothing with noSave, before a
// load, or when the settings file could not be read.
bool SaveAtExit(AppState& options);
// Records where the settings live under "Save": in the INI file, and in the
// registry profile when the registry is allowed.
bool RecordStorageChoice(AppState& options);

// Why the stored project list may not be changed now, as the string that
// says so (a /logoff start, a settings file that could not be read); 0 when
// it may. The project editor and import are then not offered.
unsigned ProjectListLock(const AppState& options);

// Why changes to the options made now will not be kept, as the string that
// says so (a /logoff start; a settings file that could not be read or
// written); 0 when they will. Said by the prompts of the options sheet and
// the media menu, which stay usable.
unsigned OptionsNotKept(const AppState& options);

// Writes a complete settings file with every project's folder settings; the
// running program's own settings stay as they are. After a /logoff start or
// with a settings file that could not be read, the options and project list
// in memory are made up: the stored ones are read for the export instead.
bool ExportSettings(const AppState& options, const std::wstring& file);
// A file this program can import: it can be read and holds IniVersion,
// ProjectCount or ListCount in section "Options", or a folder-setting
// section ("Define 0", "Project\003\Define12").
bool IsSettingsFile(const std::wstring& file);
// Replaces the stored settings with those of a settings file, always into the
// INI file, in one write: a failure leaves the store and options as they
// were; refused while the project list is locked. A file of a newer
// version needs newerConfirmed: without it nothing
// changes and fileVersion receives the file's version.
ImportResult ImportSettings(AppState& options, const std::wstring& file, bool newerConfirmed,
                            std::wstring* fileVersion = nullptr);

}  // namespace tandrel
