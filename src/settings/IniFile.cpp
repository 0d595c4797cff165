#include "settings/IniFile.h"

#include <windows.h>

#include <map>

#include "platform/Paths.h"
#include "settings/ProfileStore.h"

namespace tandrel::ini {

namespace {

enum class Encoding { Utf16, Utf16BigEndian, Utf8, Ansi };

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

class Lock {
public:
    Lock() { AcquireSRWLockExclusive(&lock_); }
    ~Lock() { ReleaseSRWLockExclusive(&lock_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    static inline SRWLOCK lock_ = SRWLOCK_INIT;
};

std::map<std::wstring, CachedFile>& Files() {
    static std::map<std::wstring, CachedFile> files;
    return files;
}

// One document per file, however its name is spelled.
CachedFile& Slot(const std::wstring& systemPath) {
    return Files()[FoldName(systemPath)];
}

std::function<unsigned long(const std::wstring&)>& Fault() {
    static std::function<unsigned long(const std::wstring&)> fault;
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

std::wstring Decode(const std::string& bytes, Encoding& encoding) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto widen = [&](UINT codePage, size_t skip) {
        const int length = static_cast<int>(bytes.size() - skip);
        const int n = MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, nullptr, 0);
        std::wstring text(static_cast<size_t>(n), L'\0');
        if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data() + skip, length, text.data(), n);
        return text;
    };
    if (bytes.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        encoding = Encoding::Utf8;
        return widen(CP_UTF8, 3);
    }
    if (bytes.size() >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        const bool swapped = data[0] == 0xFE;
        encoding = swapped ? Encoding::Utf16BigEndian : Encoding::Utf16;
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char a = data[2 + 2 * i], b = data[3 + 2 * i];
            text[i] = static_cast<wchar_t>(swapped ? (a << 8) | b : (b << 8) | a);
        }
        return text;
    }
    encoding = Encoding::Ansi;
    return widen(CP_ACP, 0);
}

std::string Encode(const std::wstring& text, Encoding encoding) {
    std::string bytes;
    if (encoding == Encoding::Utf16 || encoding == Encoding::Utf16BigEndian) {
        const bool swapped = encoding == Encoding::Utf16BigEndian;
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
    const UINT codePage = encoding == Encoding::Utf8 ? CP_UTF8 : CP_ACP;
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

// Removes the new files that saves of processes now gone left beside the
// settings file (<name>.<pid>-<n>.tmp) when they were killed half-way.
void SweepLeftovers(const std::wstring& systemPath) {
    const size_t slash = systemPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return;
    const std::wstring prefix = systemPath.substr(slash + 1) + L".";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((systemPath + L".*-*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name.size() <= prefix.size() || FoldName(name.substr(0, prefix.size())) != FoldName(prefix)) continue;
        wchar_t* end = nullptr;
        const DWORD pid = wcstoul(name.c_str() + prefix.size(), &end, 10);
        if (!end || *end != L'-') continue;
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid)) {
            const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            CloseHandle(process);
            if (running) continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // another user's process, perhaps still saving
        }
        DeleteFileW((systemPath.substr(0, slash + 1) + name).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

void Load(CachedFile& file, const std::wstring& systemPath) {
    file = CachedFile{};
    file.loaded = true;
    SweepLeftovers(systemPath);
    HANDLE handle = CreateFileW(systemPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            file.readError = error;
            file.stamp = StampOf(systemPath);
        }
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    std::string bytes;
    bool ok = GetFileInformationByHandle(handle, &info) != 0;
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

// Writes the whole document beside the file and puts it in place.
DWORD Write(CachedFile& file, const std::wstring& systemPath) {
    const std::string bytes = Encode(file.doc.Text(), file.encoding);
    static LONG counter = 0;
    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temp = systemPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
        handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return GetLastError();
    }
    if (handle == INVALID_HANDLE_VALUE) return ERROR_FILE_EXISTS;
    DWORD error = Fault() ? Fault()(systemPath) : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) {
        WriteAll(handle, bytes.data(), bytes.size() / 2);
    } else {
        error = WriteAll(handle, bytes.data(), bytes.size());
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(handle)) error = GetLastError();
    CloseHandle(handle);
    if (error == ERROR_SUCCESS) {
        const bool replaced = file.stamp.exists &&
                              ReplaceFileW(systemPath.c_str(), temp.c_str(), nullptr,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                                           nullptr);
        if (!replaced && !MoveFileExW(temp.c_str(), systemPath.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temp.c_str());
        return error;
    }
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

void Report(const std::wstring& path, DWORD error) {
    if (error != ERROR_SUCCESS) ReportIniFileError(path, error);
}

}  // namespace

std::optional<std::wstring> Read(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    Lock lock;
    return Current(SystemPath(NormalisedPath(path))).doc.Find(section, key);
}

Entries ReadSection(const std::wstring& path, const std::wstring& section) {
    Lock lock;
    return Current(SystemPath(NormalisedPath(path))).doc.Entries(section);
}

std::vector<std::wstring> SectionNames(const std::wstring& path) {
    Lock lock;
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

unsigned long ReadError(const std::wstring& path) {
    Lock lock;
    const CachedFile& file = Current(SystemPath(NormalisedPath(path)));
    if (file.readError != ERROR_SUCCESS) return file.readError;
    return file.stamp.exists || file.dirty ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

bool Change(const std::wstring& path, const std::function<bool(IniDocument&)>& change) {
    DWORD error = ERROR_SUCCESS;
    {
        Lock lock;
        const std::wstring systemPath = SystemPath(NormalisedPath(path));
        CachedFile& file = Current(systemPath);
        if (file.readError != ERROR_SUCCESS) {
            error = file.readError;
        } else {
            if (change(file.doc)) file.dirty = true;
            error = Settle(file, systemPath);
        }
    }
    Report(path, error);
    return error == ERROR_SUCCESS;
}

bool Create(const std::wstring& path, bool empty) {
    DWORD error = ERROR_SUCCESS;
    {
        Lock lock;
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
    Report(path, error);
    return error == ERROR_SUCCESS;
}

Batch::Batch(std::wstring path) : path_(std::move(path)), system_(SystemPath(NormalisedPath(path_))) {
    Lock lock;
    ++Current(system_).depth;
}

Batch::~Batch() {
    if (!open_) return;
    Lock lock;
    CachedFile& file = Slot(system_);
    file.failed = true;
    if (--file.depth > 0) return;
    file.loaded = file.dirty = file.failed = false;
}

bool Batch::Commit() {
    if (!open_) return false;
    open_ = false;
    DWORD error = ERROR_SUCCESS;
    {
        Lock lock;
        CachedFile& file = Slot(system_);
        if (--file.depth > 0) return !file.failed;
        if (file.failed) {
            file.loaded = file.dirty = file.failed = false;
            return false;
        }
        error = Settle(file, system_);
    }
    Report(path_, error);
    return error == ERROR_SUCCESS;
}

void SetWriteFault(std::function<unsigned long(const std::wstring& path)> fault) {
    Lock lock;
    Fault() = std::move(fault);
}

}  // namespace tandrel::ini
