#include "settings/ProfileStore.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <vector>

#include "platform/Environment.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_settings.h"
#include "settings/IniFile.h"
#include "settings/RegistryJournal.h"
#include "settings/SettingsStore.h"

namespace tandrel {

namespace {

bool SeenAsThere(const AppState& options);

// A string read gives at most this many characters less the terminating
// null, as the system's profile functions do.
constexpr size_t kStringLimit = 32768;

// A stored integer: leading digits, saturating; an empty text gives the
// default.
int IntFromText(const std::wstring& text, int defaultValue) {
    return text.empty() ? defaultValue : ParseLeadingInt(text);
}

// A stored value as the system's string read returns it: a pair of quotes
// round it is dropped and it is cut at 32767 characters.
std::wstring StringFromValue(const std::wstring& value) {
    std::wstring text = value;
    if (text.size() >= 2 && (text[0] == L'"' || text[0] == L'\'') && text.back() == text[0])
        text = text.substr(1, text.size() - 2);
    if (text.size() >= kStringLimit) text.resize(kStringLimit - 1);
    return text;
}

// The leading decimal integer of a text, saturating at 64 bits.
long long ParseLeadingInt64(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    unsigned long long value = 0;
    const unsigned long long limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    if (!negative) return static_cast<long long>(value);
    return value == limit ? LLONG_MIN : -static_cast<long long>(value);
}

// The text a value is stored as, so that the system's reader gives back
// what was written: a line end in it (CR LF, CR or LF) would start a new
// line and becomes one blank; a value the reader would change (blanks round
// it, or a pair of quotes round it) goes inside one more pair of double
// quotes, which the reader drops.
std::wstring StoredValue(const std::wstring& value) {
    std::wstring text;
    text.reserve(value.size() + 2);
    for (size_t i = 0; i < value.size(); ++i) {
        const wchar_t c = value[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < value.size() && value[i + 1] == L'\n') ++i;
            text += L' ';
        } else {
            text += c;
        }
    }
    const bool quoted = text.size() >= 2 && (text[0] == L'"' || text[0] == L'\'') && text.back() == text[0];
    if (quoted || TrimBlanks(text).size() != text.size()) text = L'"' + text + L'"';
    return text;
}

// A default handed back for a missing key loses its trailing blanks and is
// cut like a stored value.
std::wstring DefaultText(const std::wstring& value) {
    std::wstring text = value;
    while (!text.empty() && text.back() == L' ') text.pop_back();
    if (text.size() >= kStringLimit) text.resize(kStringLimit - 1);
    return text;
}

std::wstring RegistryPath(const AppState& options, const std::wstring& section) {
    std::wstring path = options.registryKey + L"\\" + section;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// Paths handed to the file system directly take the long form; relative ones
// cannot.
std::wstring FileSystemPath(const std::wstring& path) {
    const bool absolute = (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') ||
                          (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
    return absolute ? LongPath(path) : path;
}

// One "%d" of a scanf-style read: blanks, an optional sign, digits.
bool ScanInt(const std::wstring& text, size_t& pos, int& value) {
    size_t i = pos;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) ++i;
    const size_t digits = i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') ++i;
    if (i == digits) return false;
    value = ParseLeadingInt(text.substr(start, i - start));
    pos = i;
    return true;
}

// Fills values from the text until a number or separator is missing; the
// rest keep what they held. A blank separator stands for any white space.
void ScanInts(const std::wstring& text, wchar_t separator, int* const* values, size_t count) {
    size_t pos = 0;
    for (size_t n = 0; n < count; ++n) {
        if (n > 0 && separator != L' ') {
            if (pos >= text.size() || text[pos] != separator) return;
            ++pos;
        }
        if (!ScanInt(text, pos, *values[n])) return;
    }
}

}  // namespace

int ProfileStore::ReadInt(const std::wstring& section, const std::wstring& key, int defaultValue, bool forceIni) const {
    if (UseRegistry(forceIni))
        return ReadRegistryDword(HKEY_CURRENT_USER, RegistryPath(options_, section), key, defaultValue);
    // Parsed here, so that numbers beyond 32 bits saturate instead of
    // wrapping round into a plausible value.
    const std::optional<std::wstring> value = ini::Read(options_.iniPath, section, key);
    return value ? IntFromText(StringFromValue(*value), defaultValue) : defaultValue;
}

long long ProfileStore::ReadInt64(const std::wstring& section, const std::wstring& key, long long defaultValue) const {
    if (UseRegistry(false)) {
        // Written as a string once beyond 32 bits, as a DWORD below.
        const std::wstring text = ReadString(section, key, std::wstring());
        if (!text.empty()) return ParseLeadingInt64(text);
        return ReadRegistryDword(HKEY_CURRENT_USER, RegistryPath(options_, section), key,
                                 static_cast<int>(std::clamp<long long>(defaultValue, INT_MIN, INT_MAX)));
    }
    const std::optional<std::wstring> value = ini::Read(options_.iniPath, section, key);
    if (!value) return defaultValue;
    const std::wstring text = StringFromValue(*value);
    return text.empty() ? defaultValue : ParseLeadingInt64(text);
}

std::wstring ProfileStore::ReadString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue) const {
    if (UseRegistry(false)) {
        registry::Key k;
        if (!k.Open(HKEY_CURRENT_USER, RegistryPath(options_, section), KEY_QUERY_VALUE)) return defaultValue;
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(k.Get(), key.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return defaultValue;
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(k.Get(), key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return defaultValue;
        // The stored terminator, if any, is not part of the text.
        return std::wstring(data.data(), wcsnlen(data.data(), size / sizeof(wchar_t)));
    }
    const std::optional<std::wstring> value = ini::Read(options_.iniPath, section, key);
    return value ? StringFromValue(*value) : DefaultText(defaultValue);
}

bool ProfileStore::WriteInt(const std::wstring& section, const std::wstring& key, int value, bool forceIni) {
    if (UseRegistry(forceIni)) return WriteRegistryInt(section, key, value);
    return WriteIni(section, key.c_str(), std::to_wstring(value).c_str());
}

bool ProfileStore::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (UseRegistry(false)) {
        if (options_.settingsWriteError) return false;
        return RegistryWritten(registry::SetValue(RegistryPath(options_, section), key, REG_SZ, value.c_str(),
                                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
    }
    return WriteIni(section, key.c_str(), value.c_str());
}

bool ProfileStore::RegistryWritten(long error) {
    if (error == ERROR_SUCCESS) return true;
    if (!options_.settingsWriteError) {
        options_.settingsWriteError = static_cast<unsigned long>(error);
        NotifySettingsUnsaved(options_, IDS_REGISTRY_UNWRITABLE);
    }
    return false;
}

bool ProfileStore::WriteInt64(const std::wstring& section, const std::wstring& key, long long value) {
    if (!UseRegistry(false)) return WriteIni(section, key.c_str(), std::to_wstring(value).c_str());
    if (value >= INT_MIN && value <= INT_MAX) return WriteRegistryInt(section, key, static_cast<int>(value));
    return WriteString(section, key, std::to_wstring(value));
}

bool ProfileStore::WriteRegistryInt(const std::wstring& section, const std::wstring& key, int value) {
    if (options_.settingsWriteError) return false;
    const DWORD data = static_cast<DWORD>(value);
    return RegistryWritten(registry::SetValue(RegistryPath(options_, section), key, REG_DWORD, &data, sizeof data));
}

bool ProfileStore::DeleteSection(const std::wstring& section) {
    if (UseRegistry(false))
        return !options_.settingsWriteError && RegistryWritten(registry::DeleteTree(RegistryPath(options_, section)));
    return WriteIni(section, nullptr, nullptr);
}

bool ProfileStore::DeleteKey(const std::wstring& section, const std::wstring& key) {
    if (UseRegistry(false))
        return !options_.settingsWriteError && RegistryWritten(registry::DeleteValue(RegistryPath(options_, section), key));
    return WriteIni(section, key.c_str(), nullptr);
}

bool ProfileStore::WriteIni(const std::wstring& section, const wchar_t* key, const wchar_t* value) {
    if (!key) return ChangeIni([&](IniDocument& doc) { return doc.RemoveSection(section); });
    if (!value) return ChangeIni([&](IniDocument& doc) { return doc.RemoveKey(section, key); });
    return ChangeIni([&](IniDocument& doc) {
        doc.Set(section, key, StoredValue(value));
        return true;
    });
}

bool ProfileStore::ChangeIni(const std::function<bool(IniDocument&)>& change) {
    if (IniHeld()) return true;
    if (options_.settingsWriteError) return false;
    unsigned long error = ERROR_SUCCESS;
    const bool ok = ini::Change(options_.iniPath, change, &error, SeenAsThere(options_));
    return IniWritten(ok, error);
}

bool ProfileStore::IniWritten(bool ok, unsigned long error) {
    return SettleIniWrite(options_, ok, error);
}

SectionReader::SectionReader(const ProfileStore& store, std::wstring section)
    : store_(store), section_(std::move(section)) {
    if (store_.UseRegistry(false)) return;
    values_.emplace();
    // The first key of a name wins, as in a single read.
    for (auto& [key, value] : ini::ReadSection(store_.options_.iniPath, section_))
        values_->emplace(FoldName(key), std::move(value));
}

const std::optional<std::wstring>* SectionReader::Find(const std::wstring& key) const {
    const auto found = values_->find(FoldName(TrimBlanks(key)));
    return found == values_->end() ? nullptr : &found->second;
}

int SectionReader::ReadInt(const std::wstring& key, int defaultValue) const {
    if (!values_) return store_.ReadInt(section_, key, defaultValue);
    const std::optional<std::wstring>* value = Find(key);
    return value && *value ? IntFromText(StringFromValue(**value), defaultValue) : defaultValue;
}

long long SectionReader::ReadInt64(const std::wstring& key, long long defaultValue) const {
    if (!values_) return store_.ReadInt64(section_, key, defaultValue);
    const std::optional<std::wstring>* value = Find(key);
    if (!value || !*value) return defaultValue;
    const std::wstring text = StringFromValue(**value);
    return text.empty() ? defaultValue : ParseLeadingInt64(text);
}

std::wstring SectionReader::ReadString(const std::wstring& key, const std::wstring& defaultValue) const {
    if (!values_) return store_.ReadString(section_, key, defaultValue);
    const std::optional<std::wstring>* value = Find(key);
    return value && *value ? StringFromValue(**value) : DefaultText(defaultValue);
}

bool SectionWriter::Commit() {
    if (entries_.empty()) return true;
    if (store_.UseRegistry(false)) {
        for (const Entry& e : entries_) {
            bool ok = true;
            if (e.kind == Entry::Number) {
                ok = store_.WriteInt(section_, e.key, static_cast<int>(e.number));
            } else if (e.kind == Entry::Wide) {
                ok = store_.WriteInt64(section_, e.key, e.number);
            } else {
                ok = store_.WriteString(section_, e.key, e.text);
            }
            if (!ok) return false;
        }
        return true;
    }
    return store_.ChangeIni([&](IniDocument& doc) {
        for (const Entry& e : entries_) doc.Set(section_, e.key, StoredValue(e.text));
        return true;
    });
}

bool ProfileStore::EnsureIniFile(bool recreate) {
    if (IniHeld()) return true;
    if (options_.settingsWriteError) return false;
    unsigned long error = ERROR_SUCCESS;
    const bool ok = ini::Create(options_.iniPath, recreate, &error);
    return IniWritten(ok, error);
}

void ProfileStore::ReadRect(const std::wstring& key, Rect& rect) const {
    int* const fields[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    ScanInts(ReadString(kWindowSection, key, L"0 0 0 0"), L' ', fields, 4);
}

bool ProfileStore::WriteRect(const std::wstring& key, const Rect& rect) {
    return WriteString(kWindowSection, key,
                       Format(L"%d %d %d %d", rect.left, rect.top, rect.right, rect.bottom));
}

void ProfileStore::ReadWidths(const std::wstring& key, ColumnWidths& widths, const std::wstring& defaultText) const {
    int* const fields[] = {&widths[0], &widths[1], &widths[2], &widths[3], &widths[4]};
    ScanInts(key.empty() ? defaultText : ReadString(kWindowSection, key, defaultText), L',', fields, 5);
}

bool ProfileStore::WriteWidths(const std::wstring& key, const ColumnWidths& w) {
    return WriteString(kWindowSection, key, Format(L"%d,%d,%d,%d,%d", w[0], w[1], w[2], w[3], w[4]));
}

int ReadRegistryDword(HKEY root, const std::wstring& subkey, const std::wstring& name, int defaultValue) {
    registry::Key k;
    if (!k.Open(root, subkey, KEY_QUERY_VALUE)) return defaultValue;
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(k.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return defaultValue;
    return static_cast<int>(value);
}

bool FileExists(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return !path.empty() && GetFileAttributesExW(FileSystemPath(path).c_str(), GetFileExInfoStandard, &data);
}

int RegistryStorageChoice(const AppState& options) {
    const std::wstring subkey = kSaveSection;
    const int choice = ReadRegistryDword(HKEY_CURRENT_USER, RegistryPath(options, subkey), kSaveRegistoryKey, -1);
    if (choice != -1) return choice;
    // The older program kept its profile beside ours, under "Tandrel".
    const size_t cut = options.registryKey.find_last_of(L'\\');
    if (cut == std::wstring::npos) return -1;
    const std::wstring older = options.registryKey.substr(0, cut) + L"\\Tandrel\\" + subkey;
    return ReadRegistryDword(HKEY_CURRENT_USER, older, kSaveRegistoryKey, -1);
}

std::wstring OptionsSection(int project) {
    if (project == 0) return kOptionsSection;
    return Format(L"Project\\%03d\\", project);
}

std::wstring ListCountKey(int project) {
    if (project == 0) return L"ListCount";
    return Format(L"Project\\%03d\\ListCount", project);
}

std::wstring SettingSection(int project, int index) {
    if (project == 0) return Format(L"Define%2d", index);
    return Format(L"Project\\%03d\\Define%2d", project, index);
}

StoreBatch::StoreBatch(AppState& options)
    : options_(options), ini_(options.iniPath), registry_(std::in_place, options.registryKey) {
    TellRollback();
}

StoreBatch::~StoreBatch() {
    registry_.reset();
    TellRollback();
}

bool StoreBatch::Commit() {
    // Both always end; the registry side is put back when the file failed.
    unsigned long error = ERROR_SUCCESS;
    const bool written = ini_.Commit(&error);
    if (!SettleIniWrite(options_, written, error)) return false;
    return registry_->Commit();
}

void RecoverRegistry(AppState& options) {
    if (registry::Recover(options.registryKey)) return;
    if (!options.settingsWriteError) options.settingsWriteError = static_cast<unsigned long>(registry::TakeRollbackError());
    NotifySettingsUnsaved(options, IDS_REGISTRY_ROLLBACK_FAILED);
}

void StoreBatch::TellRollback() {
    const LSTATUS error = registry::TakeRollbackError();
    if (error == ERROR_SUCCESS) return;
    // Half a save stayed in the profile: never passed over in silence.
    if (!options_.settingsWriteError) options_.settingsWriteError = static_cast<unsigned long>(error);
    NotifySettingsUnsaved(options_, IDS_REGISTRY_ROLLBACK_FAILED);
}

namespace {

bool SeenAsThere(const AppState& options) {
    return !options.settingsFileSeen.empty() && EqualsNoCase(options.settingsFileSeen, options.iniPath);
}

SettingsNotice& Notice() {
    static SettingsNotice notice;
    return notice;
}

}  // namespace

void SetSettingsNotice(SettingsNotice notice) {
    Notice() = std::move(notice);
}

void NotifySettingsUnsaved(const AppState& options, unsigned text) {
    if (Notice()) {
        Notice()(options, text);
    } else {
        ShowSettingsNotice(options, text);
    }
}

std::wstring SettingsNoticeText(const AppState& options, unsigned text) {
    const unsigned long error = text == IDS_INI_UNREADABLE ? options.settingsReadError : options.settingsWriteError;
    const std::wstring reason = SystemErrorText(error);
    const bool registry = text == IDS_REGISTRY_UNWRITABLE || text == IDS_REGISTRY_ROLLBACK_FAILED;
    return InsertArgs(LoadText(text), registry ? L"HKEY_CURRENT_USER\\" + options.registryKey : options.iniPath,
                      &reason);
}

void ShowSettingsNotice(const AppState& options, unsigned text) {
    const UINT icon = text == IDS_INI_UNREADABLE ? MB_ICONEXCLAMATION : MB_ICONSTOP;
    const bool registry = text == IDS_REGISTRY_UNWRITABLE || text == IDS_REGISTRY_ROLLBACK_FAILED;
    ShowMessage(nullptr, SettingsNoticeText(options, text), LoadText(registry ? IDS_REGISTRY_CAPTION : IDS_INI_OPEN),
                MB_OK | icon);
}

bool SettleIniWrite(AppState& options, bool ok, unsigned long error) {
    if (ok) {
        if (!options.useRegistry) options.settingsFileSeen = options.iniPath;
        return true;
    }
    // An outer batch that failed before has said so already.
    if (error == ERROR_SUCCESS) return false;
    if (error == ERROR_FILE_NOT_FOUND && SeenAsThere(options)) {
        // Taken away since it was read: written now, it would hold nothing
        // but this save's keys.
        if (!options.settingsReadError) {
            options.settingsReadError = error;
            NotifySettingsUnsaved(options, IDS_INI_UNREADABLE);
        }
        return false;
    }
    if (!options.settingsWriteError) {
        options.settingsWriteError = error;
        NotifySettingsUnsaved(options, IDS_INI_UNWRITABLE);
    }
    return false;
}

}  // namespace tandrel
