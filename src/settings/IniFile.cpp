#include "settings/IniFile.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <vector>

#include "platform/Environment.h"
#include "platform/Handle.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "resource_settings.h"

namespace tandrel::ini {

namespace {

struct Stamp {
    bool exists = false;
    ULONGLONG size = 0;
    ULONGLONG written = 0;
    bool operator==(const Stamp&) const = default;
};

struct CachedFile {
    bool loaded = false;
    IniDocument doc;
    Encoding encoding = Encoding::Utf16;
    Stamp stamp;
    DWORD readError = 0;  // the file is there but could not be read
    int depth = 0;        // open batches
    bool dirty = false;   // changes not yet on disk
    bool failed = false;  // a batch ended without Commit
};

// Guards every cached file.
SRWLOCK filesLock = SRWLOCK_INIT;

std::map<std::wstring, CachedFile>& Files() {
    static std::map<std::wstring, CachedFile> files;
    return files;
}

// One document per file, however its name is spelled.
CachedFile& Slot(const std::wstring& systemPath) {
    return Files()[FoldName(systemPath)];
}

using FaultHook = std::function<unsigned long(const std::wstring&)>;

FaultHook& Fault() {
    static FaultHook fault;
    return fault;
}

FaultHook& PlaceFault() {
    static FaultHook fault;
    return fault;
}

FaultHook& CreateFault() {
    static FaultHook fault;
    return fault;
}

std::wstring SystemPath(const std::wstring& full) {
    return full.rfind(L"\\\\?\\", 0) == 0 ? full : LongPath(full);
}

ULONGLONG Join(DWORD high, DWORD low) {
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

Stamp StampOf(const std::wstring& systemPath) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    Stamp stamp;
    if (!GetFileAttributesExW(systemPath.c_str(), GetFileExInfoStandard, &data)) return stamp;
    stamp.exists = true;
    stamp.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    stamp.written = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

// UTF-16 without its mark shows in its zero bytes: the high bytes of the
// ASCII characters every settings file is full of, at one parity only. A
// file of another encoding has none, or (a tail of zeros left by a crash)
// as many at both parities.
Encoding Sniff(const std::string& bytes) {
    if (bytes.empty()) return Encoding::Utf16;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) return Encoding::Utf8;
    if (bytes.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE) return Encoding::Utf16;
    if (bytes.size() >= 2 && data[0] == 0xFE && data[1] == 0xFF) return Encoding::Utf16BigEndian;
    size_t even = 0, odd = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        even += data[i] == 0;
        odd += data[i + 1] == 0;
    }
    const size_t characters = bytes.size() / 2;
    if (odd * 4 >= characters && even * 4 < odd) return Encoding::Utf16Unmarked;
    if (even * 4 >= characters && odd * 4 < even) return Encoding::Utf16BigEndianUnmarked;
    // Valid multi-byte UTF-8 is next to never a text in the ANSI code page.
    const bool multiByte = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    if (multiByte && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, 0) > 0)
        return Encoding::Utf8Unmarked;
    return Encoding::Ansi;
}

bool IsBigEndian(Encoding encoding) {
    return encoding == Encoding::Utf16BigEndian || encoding == Encoding::Utf16BigEndianUnmarked;
}

bool IsUtf16(Encoding encoding) {
    return encoding != Encoding::Utf8 && encoding != Encoding::Utf8Unmarked && encoding != Encoding::Ansi;
}

std::wstring Decode(const std::string& bytes, Encoding& encoding) {
    encoding = Sniff(bytes);
    if (bytes.empty()) return {};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (IsUtf16(encoding)) {
        const bool swapped = IsBigEndian(encoding);
        const size_t skip = encoding == Encoding::Utf16 || encoding == Encoding::Utf16BigEndian ? 2 : 0;
        std::wstring text((bytes.size() - skip) / 2, L'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char a = data[skip + 2 * i], b = data[skip + 2 * i + 1];
            text[i] = static_cast<wchar_t>(swapped ? (a << 8) | b : (b << 8) | a);
        }
        return text;
    }
    const size_t skip = encoding == Encoding::Utf8 ? 3 : 0;
    const UINT codePage = encoding == Encoding::Ansi ? CP_ACP : CP_UTF8;
    const int length = static_cast<int>(bytes.size() - skip);
    const int n = MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, nullptr, 0);
    std::wstring text(static_cast<size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, text.data(), n);
    return text;
}

std::string Encode(const std::wstring& text, Encoding encoding) {
    std::string bytes;
    // UTF-16 is always written with its mark, which the system's reader needs.
    if (IsUtf16(encoding)) {
        const bool swapped = IsBigEndian(encoding);
        bytes.resize(2 + text.size() * 2);
        bytes[0] = static_cast<char>(swapped ? 0xFE : 0xFF);
        bytes[1] = static_cast<char>(swapped ? 0xFF : 0xFE);
        for (size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned>(text[i]);
            bytes[2 + 2 * i] = static_cast<char>(swapped ? c >> 8 : c & 0xFF);
            bytes[3 + 2 * i] = static_cast<char>(swapped ? c & 0xFF : c >> 8);
        }
        return bytes;
    }
    const UINT codePage = encoding == Encoding::Ansi ? CP_ACP : CP_UTF8;
    if (encoding == Encoding::Utf8) bytes = "\xEF\xBB\xBF";
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    const size_t start = bytes.size();
    bytes.resize(start + static_cast<size_t>(n));
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data() + start, n, nullptr,
                            nullptr);
    return bytes;
}

// A new file of a save: written as <name>.<pid>-<n>.tmp and renamed to
// <name>.<pid>-<n>.new once it is whole and flushed, so that a .new file is
// always complete.
constexpr const wchar_t* kWritingSuffix = L".tmp";
constexpr const wchar_t* kCompleteSuffix = L".new";
// A complete new file whose bytes are being written into the settings file
// itself (a hard link, which a rename would part from its other names): a
// save cut short in between is finished from it at the next read.
constexpr const wchar_t* kInPlaceSuffix = L".put";

struct Leftover {
    std::wstring path;
    bool complete = false;
    bool inPlace = false;
    ULONGLONG written = 0;
};

// Whether the process that wrote a new file is gone. Another user's process
// cannot be asked and counts as running: it may still be saving.
bool ProcessGone(DWORD pid) {
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
        const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        CloseHandle(process);
        return !running;
    }
    return GetLastError() == ERROR_INVALID_PARAMETER;
}

// The new files that saves of processes now gone left beside the settings
// file.
std::vector<Leftover> LeftoversOf(const std::wstring& systemPath) {
    std::vector<Leftover> found;
    const size_t slash = systemPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return found;
    const std::wstring prefix = FoldName(systemPath.substr(slash + 1) + L".");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((systemPath + L".*-*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring name = data.cFileName;
        if (name.size() <= prefix.size() || FoldName(name.substr(0, prefix.size())) != prefix) continue;
        const std::wstring rest = name.substr(prefix.size());
        const size_t dash = rest.find(L'-'), dot = rest.find(L'.');
        if (dash == 0 || dash == std::wstring::npos || dot == std::wstring::npos || dot <= dash + 1) continue;
        if (rest.find_first_not_of(L"0123456789") != dash ||
            rest.find_first_not_of(L"0123456789", dash + 1) != dot)
            continue;
        const std::wstring suffix = FoldName(rest.substr(dot));
        if (suffix != kWritingSuffix && suffix != kCompleteSuffix && suffix != kInPlaceSuffix) continue;
        if (!ProcessGone(static_cast<DWORD>(wcstoul(rest.c_str(), nullptr, 10)))) continue;
        found.push_back({systemPath.substr(0, slash + 1) + name, suffix == kCompleteSuffix, suffix == kInPlaceSuffix,
                         Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

// Only "file not found" is no file, and "path not found" while the folder is
// there; a folder that cannot be reached (a share not yet connected) hides a
// file that may well exist.
bool IsMissing(DWORD error, const std::wstring& systemPath) {
    if (error == ERROR_FILE_NOT_FOUND) return true;
    if (error != ERROR_PATH_NOT_FOUND) return false;
    const size_t slash = systemPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    const DWORD attributes = GetFileAttributesW(systemPath.substr(0, slash).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A settings file that is missing while a save that did not finish left a
// complete new one: the newest such file takes its place.
bool PutUnplacedSaveInPlace(const std::wstring& systemPath) {
    const Leftover* newest = nullptr;
    const std::vector<Leftover> leftovers = LeftoversOf(systemPath);
    for (const Leftover& l : leftovers) {
        if (l.complete && (!newest || l.written > newest->written)) newest = &l;
    }
    // Without replacing: a file that appeared meanwhile wins.
    return newest && MoveFileExW(newest->path.c_str(), systemPath.c_str(), MOVEFILE_WRITE_THROUGH);
}

// While the settings file exists, what gone processes left beside it is of
// no use. Without it nothing is deleted: a new file may be the only copy.
void SweepLeftovers(const std::wstring& systemPath) {
    for (const Leftover& l : LeftoversOf(systemPath)) {
        if (!l.inPlace) DeleteFileW(l.path.c_str());
    }
}

// The file a path leads to: a symbolic link is followed, so that a save
// replaces the file it names and the link stays a link. Asked of every
// file: Wine shows a link to a file as a plain file.
std::wstring FileBehind(const std::wstring& systemPath) {
    UniqueHandle file(CreateFileW(systemPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return systemPath;
    std::wstring target(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(file.Get(), target.data(), static_cast<DWORD>(target.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= target.size()) return systemPath;
    target.resize(n);
    return target;
}

DWORD WriteAll(HANDLE handle, const char* data, size_t size);

// Writes bytes over the file itself, whole: its names, links and security
// stay as they are.
DWORD WriteInPlace(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return GetLastError();
    DWORD error = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (error == ERROR_SUCCESS && !SetEndOfFile(file.Get())) error = GetLastError();
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) error = GetLastError();
    return error;
}

std::optional<std::string> ReadWhole(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > INT_MAX) return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// A write into the settings file that a gone process had begun is finished
// from its complete copy; a copy that cannot be put there is kept. Of
// several, the newest is the file's last intended text.
void FinishInPlaceWrites(const std::wstring& path) {
    std::vector<Leftover> copies = LeftoversOf(path);
    std::erase_if(copies, [](const Leftover& l) { return !l.inPlace; });
    if (copies.empty()) return;
    const auto newest = std::max_element(copies.begin(), copies.end(),
                                         [](const Leftover& a, const Leftover& b) { return a.written < b.written; });
    const std::optional<std::string> bytes = ReadWhole(newest->path);
    if (!bytes || WriteInPlace(path, *bytes) != ERROR_SUCCESS) return;
    for (const Leftover& l : copies) DeleteFileW(l.path.c_str());
}

// Once a save has put its text in place, the in-place copies gone processes
// left are older than the file: finished later, they would undo the save.
void DropSupersededCopies(const std::wstring& path) {
    for (const Leftover& l : LeftoversOf(path)) {
        if (l.inPlace) DeleteFileW(l.path.c_str());
    }
}

HANDLE OpenForReading(const std::wstring& systemPath) {
    return CreateFileW(systemPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Load(CachedFile& file, const std::wstring& systemPath) {
    file = CachedFile{};
    file.loaded = true;
    const std::wstring behind = FileBehind(systemPath);
    if (StampOf(behind).exists) FinishInPlaceWrites(behind);
    HANDLE handle = OpenForReading(systemPath);
    DWORD openError = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (handle == INVALID_HANDLE_VALUE && IsMissing(openError, systemPath) && PutUnplacedSaveInPlace(behind)) {
        handle = OpenForReading(systemPath);
        openError = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        if (!IsMissing(openError, systemPath)) {
            file.readError = openError;
            file.stamp = StampOf(systemPath);
        }
        return;
    }
    SweepLeftovers(behind);
    BY_HANDLE_FILE_INFORMATION info{};
    std::string bytes;
    bool ok = GetFileInformationByHandle(handle, &info) != 0;
    // Text of 2 GiB or more is beyond the system's conversions (and any
    // settings file): refused, never decoded as empty.
    if (ok && Join(info.nFileSizeHigh, info.nFileSizeLow) > static_cast<ULONGLONG>(INT_MAX)) {
        CloseHandle(handle);
        file.readError = ERROR_FILE_TOO_LARGE;
        file.stamp = StampOf(systemPath);
        return;
    }
    if (ok) {
        bytes.resize(static_cast<size_t>(Join(info.nFileSizeHigh, info.nFileSizeLow)));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            DWORD read = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
            ok = ReadFile(handle, bytes.data() + done, chunk, &read, nullptr) && read > 0;
            done += read;
        }
    }
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok) {
        // Never taken for an empty file: a write would lose what is there.
        file.readError = error ? error : ERROR_READ_FAULT;
        file.stamp = StampOf(systemPath);
        return;
    }
    file.stamp = {true, Join(info.nFileSizeHigh, info.nFileSizeLow),
                  Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)};
    file.doc = IniDocument(Decode(bytes, file.encoding));
}

// The document of a file, read again when the file changed on disk, unless
// changes of an open batch are waiting to be written.
CachedFile& Current(const std::wstring& systemPath) {
    CachedFile& file = Slot(systemPath);
    // A file that could not be read is tried again every time.
    if (!file.loaded || file.readError != ERROR_SUCCESS || (!file.dirty && StampOf(systemPath) != file.stamp)) {
        const int depth = file.depth;
        const bool failed = file.failed;
        Load(file, systemPath);
        file.depth = depth;
        file.failed = failed;
    }
    return file;
}

DWORD WriteAll(HANDLE handle, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 24));
        if (!WriteFile(handle, data + done, chunk, &written, nullptr)) return GetLastError();
        done += written;
    }
    return ERROR_SUCCESS;
}

// What the settings file's attributes say of it rather than of its storage.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The old file's owner, group and access list, to be given to the file
// that replaces it; empty when they cannot be read.
std::vector<BYTE> SecurityOf(const std::wstring& path) {
    constexpr SECURITY_INFORMATION kWhat =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityW(path.c_str(), kWhat, nullptr, 0, &size);
    std::vector<BYTE> descriptor(size);
    if (size == 0 || !GetFileSecurityW(path.c_str(), kWhat, descriptor.data(), size, &size)) descriptor.clear();
    return descriptor;
}

// Gives the new file the old one's security: its access list at least (an
// owner may only be set with privileges the user may lack).
bool KeepSecurity(std::vector<BYTE>& descriptor, const std::wstring& path) {
    if (descriptor.empty()) return true;
    PSECURITY_DESCRIPTOR sd = descriptor.data();
    return SetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                              DACL_SECURITY_INFORMATION, sd) ||
           SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, sd);
}

DWORD LinkCount(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && GetFileInformationByHandle(file.Get(), &info) ? info.nNumberOfLinks : 1;
}

// Writes the whole document beside the file and renames it over the file in
// one step, which the file system carries out whole or not at all. A file
// with more names than this one (a hard link), or whose security cannot be
// given to a new file, is written in place from a complete copy beside it;
// one beside which no file can be made, in place without.
DWORD Write(CachedFile& file, const std::wstring& systemPath) {
    WIN32_FILE_ATTRIBUTE_DATA old{};
    const std::wstring target = FileBehind(systemPath);
    const bool hadFile = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old) != 0;
    // A read-only file is one the user keeps as it is.
    if (hadFile && (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    const std::string bytes = Encode(file.doc.Text(), file.encoding);
    static LONG counter = 0;
    std::wstring base;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        base = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(InterlockedIncrement(&counter));
        error = CreateFault() ? CreateFault()(systemPath) : ERROR_SUCCESS;
        if (error != ERROR_SUCCESS) break;
        handle = CreateFileW((base + kWritingSuffix).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (error != ERROR_SUCCESS && error != ERROR_FILE_EXISTS) break;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        // A folder the user may not add to, holding a file the user may
        // write: the only way left.
        if (!hadFile || error != ERROR_ACCESS_DENIED) return error;
        error = Fault() ? Fault()(systemPath) : ERROR_SUCCESS;
        if (error == ERROR_SUCCESS) error = WriteInPlace(target, bytes);
        if (error != ERROR_SUCCESS) return error;
        DropSupersededCopies(target);
        file.stamp = StampOf(systemPath);
        file.dirty = false;
        return ERROR_SUCCESS;
    }
    const std::wstring writing = base + kWritingSuffix, complete = base + kCompleteSuffix,
                       putting = base + kInPlaceSuffix;
    error = Fault() ? Fault()(systemPath) : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) {
        WriteAll(handle, bytes.data(), bytes.size() / 2);
    } else {
        error = WriteAll(handle, bytes.data(), bytes.size());
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(handle)) error = GetLastError();
    if (error == ERROR_SUCCESS && hadFile) SetFileTime(handle, &old.ftCreationTime, nullptr, nullptr);
    CloseHandle(handle);
    std::vector<BYTE> security = hadFile ? SecurityOf(target) : std::vector<BYTE>();
    const bool inPlace = hadFile && (LinkCount(target) > 1 || !KeepSecurity(security, writing));
    // Half a file is never of use.
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(writing.c_str(), (inPlace ? putting : complete).c_str(), MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(writing.c_str());
        return error;
    }
    if (inPlace) {
        error = PlaceFault() ? PlaceFault()(systemPath) : ERROR_SUCCESS;
        if (error == ERROR_SUCCESS) error = WriteInPlace(target, bytes);
        // Cut short, the file is finished from the copy at the next read.
        if (error == ERROR_SUCCESS) DeleteFileW(putting.c_str());
        if (error != ERROR_SUCCESS) return error;
        DropSupersededCopies(target);
        file.stamp = StampOf(systemPath);
        file.dirty = false;
        return ERROR_SUCCESS;
    }
    if (hadFile && (old.dwFileAttributes & kKeptAttributes))
        SetFileAttributesW(complete.c_str(), old.dwFileAttributes & kKeptAttributes);
    error = PlaceFault() ? PlaceFault()(systemPath) : ERROR_SUCCESS;
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(complete.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        // Without the settings file the new one may be the only copy; the
        // next read puts it in place.
        if (StampOf(target).exists) DeleteFileW(complete.c_str());
        return error;
    }
    DropSupersededCopies(target);
    file.stamp = StampOf(systemPath);
    file.dirty = false;
    return ERROR_SUCCESS;
}

// Writes a changed document unless a batch holds it back; a failed write
// forgets the changes, so the next read sees the file as it is.
DWORD Settle(CachedFile& file, const std::wstring& systemPath) {
    if (file.depth > 0 || !file.dirty) return ERROR_SUCCESS;
    const DWORD error = Write(file, systemPath);
    if (error != ERROR_SUCCESS) file.loaded = file.dirty = false;
    return error;
}

// Tells the user, or hands the error to a caller that tells in its own way.
void Report(const std::wstring& path, DWORD error, unsigned long* handedBack) {
    if (handedBack) {
        *handedBack = error;
    } else if (error != ERROR_SUCCESS) {
        ReportIniFileError(path, error);
    }
}

}  // namespace

std::optional<std::wstring> Read(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    ExclusiveLock lock(filesLock);
    return Current(SystemPath(NormalisedPath(path))).doc.Find(section, key);
}

Entries ReadSection(const std::wstring& path, const std::wstring& section) {
    ExclusiveLock lock(filesLock);
    return Current(SystemPath(NormalisedPath(path))).doc.Entries(section);
}

std::vector<std::wstring> SectionNames(const std::wstring& path) {
    ExclusiveLock lock(filesLock);
    return Current(SystemPath(NormalisedPath(path))).doc.SectionNames();
}

std::wstring NormalisedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) return path;
    full.resize(n);
    return full;
}

namespace {

DWORD ReadErrorOf(const CachedFile& file) {
    if (file.readError != ERROR_SUCCESS) return file.readError;
    return file.stamp.exists || file.dirty ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace

unsigned long ReadError(const std::wstring& path) {
    ExclusiveLock lock(filesLock);
    return ReadErrorOf(Current(SystemPath(NormalisedPath(path))));
}

std::optional<Encoding> EncodingOf(const std::wstring& path) {
    ExclusiveLock lock(filesLock);
    const CachedFile& file = Current(SystemPath(NormalisedPath(path)));
    if (ReadErrorOf(file) != ERROR_SUCCESS) return std::nullopt;
    return file.encoding;
}

bool Reencode(const std::wstring& path, Encoding encoding) {
    DWORD error = ERROR_SUCCESS;
    {
        ExclusiveLock lock(filesLock);
        const std::wstring systemPath = SystemPath(NormalisedPath(path));
        CachedFile& file = Current(systemPath);
        error = ReadErrorOf(file);
        if (error == ERROR_SUCCESS) {
            file.encoding = encoding;
            file.dirty = true;
            error = Settle(file, systemPath);
        }
    }
    Report(path, error, nullptr);
    return error == ERROR_SUCCESS;
}

bool Change(const std::wstring& path, const std::function<bool(IniDocument&)>& change, unsigned long* handedBack,
            bool existing) {
    DWORD error = ERROR_SUCCESS;
    {
        ExclusiveLock lock(filesLock);
        const std::wstring systemPath = SystemPath(NormalisedPath(path));
        CachedFile& file = Current(systemPath);
        if (file.readError != ERROR_SUCCESS) {
            error = file.readError;
        } else if (existing && !file.stamp.exists && !file.dirty) {
            error = ERROR_FILE_NOT_FOUND;
        } else {
            if (change(file.doc)) file.dirty = true;
            error = Settle(file, systemPath);
        }
    }
    Report(path, error, handedBack);
    return error == ERROR_SUCCESS;
}

bool Create(const std::wstring& path, bool empty, unsigned long* handedBack) {
    DWORD error = ERROR_SUCCESS;
    {
        ExclusiveLock lock(filesLock);
        const std::wstring systemPath = SystemPath(NormalisedPath(path));
        CachedFile& file = Current(systemPath);
        if (empty || (!file.stamp.exists && !file.dirty && file.readError == ERROR_SUCCESS)) {
            file.doc = IniDocument();
            file.encoding = Encoding::Utf16;
            file.readError = ERROR_SUCCESS;
            file.dirty = true;
            error = Settle(file, systemPath);
        } else if (file.readError != ERROR_SUCCESS) {
            error = file.readError;
        }
    }
    Report(path, error, handedBack);
    return error == ERROR_SUCCESS;
}

Batch::Batch(std::wstring path) : path_(std::move(path)), system_(SystemPath(NormalisedPath(path_))) {
    ExclusiveLock lock(filesLock);
    ++Current(system_).depth;
}

Batch::~Batch() {
    if (!open_) return;
    ExclusiveLock lock(filesLock);
    CachedFile& file = Slot(system_);
    file.failed = true;
    if (--file.depth > 0) return;
    file.loaded = file.dirty = file.failed = false;
}

bool Batch::Commit(unsigned long* handedBack) {
    if (!open_) return false;
    open_ = false;
    DWORD error = ERROR_SUCCESS;
    {
        ExclusiveLock lock(filesLock);
        CachedFile& file = Slot(system_);
        if (--file.depth > 0) return !file.failed;
        if (file.failed) {
            file.loaded = file.dirty = file.failed = false;
            return false;
        }
        error = Settle(file, system_);
    }
    Report(path_, error, handedBack);
    return error == ERROR_SUCCESS;
}

void SetWriteFault(std::function<unsigned long(const std::wstring& path)> fault) {
    ExclusiveLock lock(filesLock);
    Fault() = std::move(fault);
}

void SetPlaceFault(std::function<unsigned long(const std::wstring& path)> fault) {
    ExclusiveLock lock(filesLock);
    PlaceFault() = std::move(fault);
}

void SetCreateFault(std::function<unsigned long(const std::wstring& path)> fault) {
    ExclusiveLock lock(filesLock);
    CreateFault() = std::move(fault);
}

}  // namespace tandrel::ini

namespace tandrel {

void ReportIniFileError(const std::wstring& file, unsigned long error) {
    const std::wstring errorText = SystemErrorText(error);
    ShowMessageFormat(nullptr, IDS_INI_OPEN_FAILED, IDS_INI_OPEN, MB_OK | MB_ICONSTOP, file, &errorText);
}

}  // namespace tandrel
