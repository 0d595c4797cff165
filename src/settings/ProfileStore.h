#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/AppState.h"
#include "settings/IniFile.h"
#include "settings/RegistryJournal.h"

namespace tandrel {

constexpr const wchar_t* kOptionsSection = L"Options";
constexpr const wchar_t* kWindowSection = L"Window";
constexpr const wchar_t* kSaveSection = L"Save";
constexpr const wchar_t* kSaveRegistoryKey = L"SaveRegistory";

// Reads and writes single values of the settings, in the UTF-16 INI file at
// options.iniPath or, when options.useRegistry is set, under
// HKEY_CURRENT_USER\<options.registryKey>, where a section is a subkey path.
// The INI file is kept as one document in memory (settings/IniFile.h): a
// single write rewrites the whole file safely; a StoreBatch gathers many
// writes into one and puts the registry back when a save fails.
// Reads never fail: anything missing or unreadable gives the default.
// Writes return false on failure. The first INI write that fails sets
// settingsWriteError and tells the user once (SetSettingsNotice); later
// writes fail without touching the file or saying more. A settings file that
// could not be read (settingsReadError) is never written: its writes succeed
// without touching it, the user having been told once. A settings file that
// was there and is missing at a save is taken for one that cannot be read.
class ProfileStore {
public:
    explicit ProfileStore(AppState& options) : options_(options) {}

    // forceIni reaches the INI file even in registry mode.
    int ReadInt(const std::wstring& section, const std::wstring& key, int defaultValue, bool forceIni = false) const;
    // At most 32767 characters come back from the INI file.
    std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue) const;
    bool WriteInt(const std::wstring& section, const std::wstring& key, int value, bool forceIni = false);
    // Times beyond 2038: decimal text in the INI file; in the registry a
    // DWORD while the value fits in 32 bits, else a string.
    long long ReadInt64(const std::wstring& section, const std::wstring& key, long long defaultValue) const;
    bool WriteInt64(const std::wstring& section, const std::wstring& key, long long value);
    bool WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    // Deleting what is not there succeeds.
    bool DeleteSection(const std::wstring& section);
    bool DeleteKey(const std::wstring& section, const std::wstring& key);
    // The registry profile regardless of useRegistry.
    bool WriteRegistryInt(const std::wstring& section, const std::wstring& key, int value);

    // Makes sure the INI file exists and begins with FF FE, so the system
    // keeps writing it as UTF-16; recreate empties an existing one. Tells the
    // user when the file cannot be created.
    bool EnsureIniFile(bool recreate);

    // Rectangles and column widths of section "Window". Numbers missing from
    // the stored text keep their previous value.
    void ReadRect(const std::wstring& key, Rect& rect) const;
    bool WriteRect(const std::wstring& key, const Rect& rect);
    // An empty key parses the default text itself, which resets the widths.
    void ReadWidths(const std::wstring& key, ColumnWidths& widths, const std::wstring& defaultText) const;
    bool WriteWidths(const std::wstring& key, const ColumnWidths& widths);

private:
    friend class SectionReader;
    friend class SectionWriter;

    bool UseRegistry(bool forceIni) const { return options_.useRegistry && !forceIni; }
    bool IniHeld() const { return options_.settingsReadError != 0; }
    bool WriteIni(const std::wstring& section, const wchar_t* key, const wchar_t* value);
    // One change of the document, or its failure as the rules above say.
    bool ChangeIni(const std::function<bool(IniDocument&)>& change);
    bool IniWritten(bool ok, unsigned long error);
    // A registry change's outcome, told once as for the INI file.
    bool RegistryWritten(long error);

    AppState& options_;
};

// The values of one section, fetched from the INI file at once. Reads as
// ProfileStore does.
class SectionReader {
public:
    SectionReader(const ProfileStore& store, std::wstring section);
    int ReadInt(const std::wstring& key, int defaultValue) const;
    long long ReadInt64(const std::wstring& key, long long defaultValue) const;
    std::wstring ReadString(const std::wstring& key, const std::wstring& defaultValue) const;

private:
    const std::optional<std::wstring>* Find(const std::wstring& key) const;

    const ProfileStore& store_;
    std::wstring section_;
    // Folded key -> value; none in registry mode.
    std::optional<std::unordered_map<std::wstring, std::optional<std::wstring>>> values_;
};

// Writes to one section, handed to the store together by Commit: one
// rewrite of the INI file per section instead of one per key. As with single
// writes, keys already in the section keep their place and keys this program
// does not know stay.
class SectionWriter {
public:
    SectionWriter(ProfileStore& store, std::wstring section) : store_(store), section_(std::move(section)) {}
    void WriteInt(const std::wstring& key, int value) {
        entries_.push_back({key, std::to_wstring(value), value, Entry::Number});
    }
    void WriteInt64(const std::wstring& key, long long value) {
        entries_.push_back({key, std::to_wstring(value), value, Entry::Wide});
    }
    void WriteString(const std::wstring& key, const std::wstring& value) {
        entries_.push_back({key, value, 0, Entry::Text});
    }
    bool Commit();

private:
    struct Entry {
        std::wstring key, text;
        long long number;
        enum Kind { Number, Wide, Text } kind;
    };

    ProfileStore& store_;
    std::wstring section_;
    std::vector<Entry> entries_;
};

// Holds a multi-value save together on both sides: the INI file is written
// once, at the outermost Commit (ini::Batch); the registry profile keeps an
// undo log that survives the process (registry::Scope). A batch ended without Commit, or whose file
// could not be written, leaves the file and the profile as they were.
class StoreBatch {
public:
    explicit StoreBatch(AppState& options);
    ~StoreBatch();
    StoreBatch(const StoreBatch&) = delete;
    StoreBatch& operator=(const StoreBatch&) = delete;
    bool Commit();

private:
    // A registry save that could not be put back (or one a process that
    // died left) is told at once.
    void TellRollback();

    AppState& options_;
    ini::Batch ini_;
    std::optional<registry::Scope> registry_;
};

// Puts back a registry save that a process that died left half done,
// before anything is read; tells the user when that fails.
void RecoverRegistry(AppState& options);

// A DWORD value read straight from the registry; any failure or another
// value type gives the default.
int ReadRegistryDword(HKEY root, const std::wstring& subkey, const std::wstring& name, int defaultValue);
bool FileExists(const std::wstring& path);

// The SaveRegistory value kept in the registry profile, or in the older
// program's profile when the first has none; -1 when neither has one.
int RegistryStorageChoice(const AppState& options);

// The outcome of an INI write (ok, or the error handed back) applied to the
// options as the rules of ProfileStore say; true when it was written.
bool SettleIniWrite(AppState& options, bool ok, unsigned long error);

// "Options" for project 0, "Project\005\" for project 5.
std::wstring OptionsSection(int project);
// Key of a project's folder-setting count in section "Options".
std::wstring ListCountKey(int project);
// "Define 3", "Define12", "Project\005\Define 3".
std::wstring SettingSection(int project, int index);

}  // namespace tandrel
