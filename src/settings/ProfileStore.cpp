#include "settings/ProfileStore.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "platform/Environment.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource.h"

namespace tandrel {

namespace {

// The private-profile functions read at most this many characters plus the
// terminating null.
constexpr DWORD kStringLimit = 32768;
// Older systems hand out at most about this much of a section at once; a
// section that large is read and written key by key instead.
constexpr size_t kSectionLimit = 32765;

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

class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(HKEY root, const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(root, path.c_str(), 0, access, &key_) == ERROR_SUCCESS;
    }
    bool Create(HKEY root, const std::wstring& path) {
        return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::wstring RegistryPath(const GlobalOptions& options, const std::wstring& section) {
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
    // Read as text and parsed here, so that numbers beyond 32 bits saturate
    // instead of wrapping round into a plausible value.
    wchar_t buffer[64] = {};
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, 64, options_.iniPath.c_str());
    return IntFromText(std::wstring(buffer, n), defaultValue);
}

std::wstring ProfileStore::ReadString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& defaultValue) const {
    if (UseRegistry(false)) {
        RegKey k;
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
    std::vector<wchar_t> buffer(kStringLimit + 1, L'\0');
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                             kStringLimit, options_.iniPath.c_str());
    return std::wstring(buffer.data(), n);
}

bool ProfileStore::WriteInt(const std::wstring& section, const std::wstring& key, int value, bool forceIni) {
    if (UseRegistry(forceIni)) return WriteRegistryInt(section, key, value);
    return WriteIni(section, key.c_str(), std::to_wstring(value).c_str());
}

bool ProfileStore::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (UseRegistry(false)) {
        RegKey k;
        if (!k.Create(HKEY_CURRENT_USER, RegistryPath(options_, section))) return false;
        return RegSetValueExW(k.Get(), key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    return WriteIni(section, key.c_str(), value.c_str());
}

bool ProfileStore::WriteRegistryInt(const std::wstring& section, const std::wstring& key, int value) {
    RegKey k;
    if (!k.Create(HKEY_CURRENT_USER, RegistryPath(options_, section))) return false;
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExW(k.Get(), key.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

bool ProfileStore::DeleteSection(const std::wstring& section) {
    if (UseRegistry(false)) {
        RegDeleteTreeW(HKEY_CURRENT_USER, RegistryPath(options_, section).c_str());
        return true;
    }
    return WriteIni(section, nullptr, nullptr);
}

bool ProfileStore::DeleteKey(const std::wstring& section, const std::wstring& key) {
    if (UseRegistry(false)) {
        RegKey k;
        if (k.Open(HKEY_CURRENT_USER, RegistryPath(options_, section), KEY_SET_VALUE)) RegDeleteValueW(k.Get(), key.c_str());
        return true;
    }
    return WriteIni(section, key.c_str(), nullptr);
}

bool ProfileStore::WriteIni(const std::wstring& section, const wchar_t* key, const wchar_t* value) {
    if (!EnsureIniFile(false)) return false;
    if (WritePrivateProfileStringW(section.c_str(), key, value, options_.iniPath.c_str())) return true;
    const bool deleting = !key || !value;
    if (deleting) return true;
    // The settings the user just changed are not kept: say so once per save.
    ReportIniFileError(options_.iniPath, GetLastError());
    return false;
}

std::optional<ProfileStore::Entries> ProfileStore::ReadIniSection(const std::wstring& section) const {
    std::vector<wchar_t> buffer(kSectionLimit + 2, L'\0');
    const DWORD n = GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                              options_.iniPath.c_str());
    if (n >= kSectionLimit) return std::nullopt;
    Entries entries;
    for (size_t pos = 0; pos < n;) {
        const std::wstring line(buffer.data() + pos);
        pos += line.size() + 1;
        const size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return entries;
}

bool ProfileStore::WriteIniSection(const std::wstring& section, const Entries& entries) {
    if (!EnsureIniFile(false)) return false;
    std::wstring block;
    for (const auto& [key, value] : entries) {
        block += key;
        block += L'=';
        block += value;
        block += L'\0';
    }
    block += L'\0';
    if (WritePrivateProfileSectionW(section.c_str(), block.c_str(), options_.iniPath.c_str())) return true;
    ReportIniFileError(options_.iniPath, GetLastError());
    return false;
}

SectionReader::SectionReader(const ProfileStore& store, std::wstring section)
    : store_(store), section_(std::move(section)) {
    if (!store_.UseRegistry(false)) entries_ = store_.ReadIniSection(section_);
}

const std::wstring* SectionReader::Find(const std::wstring& key) const {
    for (const auto& [k, value] : *entries_) {
        if (EqualsNoCase(k, key)) return &value;
    }
    return nullptr;
}

int SectionReader::ReadInt(const std::wstring& key, int defaultValue) const {
    if (!entries_) return store_.ReadInt(section_, key, defaultValue);
    const std::wstring* value = Find(key);
    return value ? IntFromText(StringFromValue(*value), defaultValue) : defaultValue;
}

std::wstring SectionReader::ReadString(const std::wstring& key, const std::wstring& defaultValue) const {
    if (!entries_) return store_.ReadString(section_, key, defaultValue);
    const std::wstring* value = Find(key);
    return value ? StringFromValue(*value) : defaultValue;
}

bool SectionWriter::Commit() {
    if (entries_.empty()) return true;
    std::optional<ProfileStore::Entries> merged;
    if (!store_.UseRegistry(false)) merged = store_.ReadIniSection(section_);
    if (!merged) return CommitOneByOne();
    for (const Entry& e : entries_) {
        const auto found = std::find_if(merged->begin(), merged->end(),
                                        [&](const auto& entry) { return EqualsNoCase(entry.first, e.key); });
        if (found == merged->end()) {
            merged->emplace_back(e.key, e.text);
        } else {
            found->second = e.text;
        }
    }
    size_t size = 0;
    for (const auto& [key, value] : *merged) size += key.size() + value.size() + 2;
    if (size >= kSectionLimit) return CommitOneByOne();
    return store_.WriteIniSection(section_, *merged);
}

bool SectionWriter::CommitOneByOne() {
    for (const Entry& e : entries_) {
        const bool ok = e.isNumber ? store_.WriteInt(section_, e.key, e.number) : store_.WriteString(section_, e.key, e.text);
        if (!ok) return false;
    }
    return true;
}

bool ProfileStore::EnsureIniFile(bool recreate) {
    if (!recreate && FileExists(options_.iniPath)) return true;
    HANDLE file = CreateFileW(FileSystemPath(options_.iniPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportIniFileError(options_.iniPath, GetLastError());
        return false;
    }
    static const BYTE kMark[2] = {0xFF, 0xFE};
    DWORD written = 0;
    const bool ok = WriteFile(file, kMark, sizeof kMark, &written, nullptr) && written == sizeof kMark;
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) ReportIniFileError(options_.iniPath, error);
    return ok;
}

void ReportIniFileError(const std::wstring& file, unsigned long error) {
    const std::wstring errorText = SystemErrorText(error);
    ShowMessageFormat(nullptr, IDS_INI_OPEN_FAILED, IDS_INI_OPEN, MB_OK | MB_ICONSTOP, file, &errorText);
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
    RegKey k;
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

int RegistryStorageChoice(const GlobalOptions& options) {
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

}  // namespace tandrel
