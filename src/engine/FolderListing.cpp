#include "engine/FolderListing.h"

#include <algorithm>
#include <deque>
#include <cwchar>
#include <cwctype>
#include <string_view>
#include <unordered_set>

#include "engine/FaultSeam.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

wchar_t FoldChar(wchar_t c) {
    if (c < 0x80) return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    static const std::vector<wchar_t> upper = CaseMapTable(false);
    return upper[c];
}

std::wstring FoldCase(const std::wstring& text) {
    std::wstring folded = text;
    for (wchar_t& c : folded) c = FoldChar(c);
    return folded;
}

namespace {

size_t HashExact(const std::wstring& name) {
    return std::hash<std::wstring_view>{}(name);
}

size_t HashFolded(const std::wstring& name) {
    size_t hash = 14695981039346656037ULL;
    for (const wchar_t c : name) hash = (hash ^ static_cast<size_t>(FoldChar(c))) * 1099511628211ULL;
    return hash;
}

bool EqualFolded(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i])) return false;
    }
    return true;
}

// A table of at least twice as many slots as entries, a power of two.
template <class Hash>
std::vector<std::uint32_t> BuildIndex(const std::vector<FindEntry>& entries, Hash hash) {
    size_t size = 8;
    while (size < entries.size() * 2) size *= 2;
    std::vector<std::uint32_t> slots(size, 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t slot = hash(entries[i].name) & (size - 1);
        while (slots[slot]) slot = (slot + 1) & (size - 1);
        slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
    return slots;
}

// The first entry in probe order, i.e. the first by index, that equals.
template <class Equal>
const FindEntry* Probe(const std::vector<FindEntry>& entries, const std::vector<std::uint32_t>& slots, size_t hash,
                       Equal equal) {
    const size_t mask = slots.size() - 1;
    for (size_t slot = hash & mask; slots[slot]; slot = (slot + 1) & mask) {
        const FindEntry& entry = entries[slots[slot] - 1];
        if (equal(entry.name)) return &entry;
    }
    return nullptr;
}

}  // namespace

bool FindEntry::IsLink() const {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (IsReparseTagNameSurrogate(reparseTag)) return true;
    // Kinds whose data stays where the entry is.
    if ((reparseTag & 0xFFFF0FFF) == IO_REPARSE_TAG_CLOUD) return false;
    switch (reparseTag) {
        case IO_REPARSE_TAG_DEDUP:
        case IO_REPARSE_TAG_HSM:
        case IO_REPARSE_TAG_HSM2:
        case IO_REPARSE_TAG_SIS:
        case IO_REPARSE_TAG_WOF:
            return false;
        default:
            return true;
    }
}

namespace {
constexpr wchar_t kPartialPrefix[] = L"~tandrel-";
constexpr wchar_t kPartialSuffix[] = L".partial";
}  // namespace

std::wstring PartialCopyName(unsigned number) {
    return kPartialPrefix + Format(L"%08x", number) + kPartialSuffix;
}

bool IsPartialCopyName(const std::wstring& name) {
    constexpr size_t prefix = std::size(kPartialPrefix) - 1, suffix = std::size(kPartialSuffix) - 1;
    if (name.size() != prefix + 8 + suffix) return false;
    if (!EqualsNoCase(name.substr(0, prefix), kPartialPrefix) || !EqualsNoCase(name.substr(prefix + 8), kPartialSuffix)) {
        return false;
    }
    for (size_t i = prefix; i < prefix + 8; ++i) {
        if (!std::iswxdigit(name[i])) return false;
    }
    return true;
}

std::optional<std::uint64_t> FileIdOf(const std::wstring& path) {
    // FileInternalInformation: the id that GetFileInformationByHandle
    // returns, without the volume query that comes with it there.
    using QueryInformation = LONG(WINAPI*)(HANDLE, void* status, void* buffer, ULONG length, int fileClass);
    static const auto query = reinterpret_cast<QueryInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    if (!query) {
        const auto whole = IdentityOf(path);
        return whole ? std::optional<std::uint64_t>(whole->file) : std::nullopt;
    }
    UniqueHandle folder(CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return std::nullopt;
    struct {
        void* pointer;
        ULONG_PTR information;
    } status{};
    std::uint64_t id = 0;
    constexpr int kFileInternalInformation = 6;
    if (query(folder.Get(), &status, &id, sizeof id, kFileInternalInformation) < 0) return std::nullopt;
    return id;
}

namespace {

// File systems (by their root) that refused the listing with file ids: they
// are listed the other way from then on, without asking again.
SRWLOCK refusedLock = SRWLOCK_INIT;
std::vector<std::wstring> refusedRoots;

bool RefusesIds(const std::wstring& root) {
    ExclusiveLock one(refusedLock);
    return std::any_of(refusedRoots.begin(), refusedRoots.end(),
                       [&](const std::wstring& other) { return EqualsNoCase(other, root); });
}

void NoteRefusal(const std::wstring& root) {
    ExclusiveLock one(refusedLock);
    refusedRoots.push_back(root);
}

FILETIME TimeOf(const LARGE_INTEGER& time) {
    return {static_cast<DWORD>(time.QuadPart), static_cast<DWORD>(static_cast<ULONGLONG>(time.QuadPart) >> 32)};
}

bool IsDotEntry(const wchar_t* name, size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

}  // namespace

bool FolderListing::Read(const std::wstring& folder) {
    entries_.clear();
    partials_.clear();
    exact_.clear();
    folded_.clear();
    if (FaultSeam* seam = CurrentFaultSeam()) seam->Reading(folder);
    if (const DWORD fault = InjectedFault(FaultPoint::List, folder)) {
        error_ = fault;
        ok_ = false;
        return false;
    }
    switch (ReadByHandle(folder)) {
        case HandleRead::Refused:
            entries_.clear();
            partials_.clear();
            if (!ReadByFind(folder)) return false;
            break;
        case HandleRead::Failed:
            // A listing cut short is no listing: its gaps would read as missing files.
            entries_.clear();
            partials_.clear();
            ok_ = false;
            return false;
        case HandleRead::Done:
            break;
    }
    ok_ = true;
    error_ = 0;
    if (FaultSeam* seam = CurrentFaultSeam()) CallSeamListed(*seam, folder, entries_);
    return true;
}

void FolderListing::Take(FindEntry&& entry) {
    if (!entry.IsFolder() && IsPartialCopyName(entry.name)) {
        partials_.push_back(std::move(entry.name));
        return;
    }
    entries_.push_back(std::move(entry));
}

FolderListing::HandleRead FolderListing::ReadByHandle(const std::wstring& folder) {
    const std::wstring root = PathRoot(folder);
    if (RefusesIds(root)) return HandleRead::Refused;
    // A folder that cannot be opened so is left to the other way, which
    // tells "not found", "denied" or an empty drive root as it always did.
    UniqueHandle handle(CreateFileW(LongPath(folder).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return HandleRead::Refused;
    // Large pieces: each is one question to the file system.
    constexpr size_t kPiece = 64 * 1024;
    thread_local std::vector<ULONGLONG> buffer(kPiece / sizeof(ULONGLONG));
    for (bool first = true;; first = false) {
        const DWORD fault = InjectedFault(FaultPoint::Query, folder);
        if (fault || !GetFileInformationByHandleEx(handle.Get(), FileIdBothDirectoryInfo, buffer.data(),
                                                   static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG)))) {
            const DWORD error = fault ? fault : GetLastError();
            if (error == ERROR_NO_MORE_FILES) return HandleRead::Done;
            if (first) {
                switch (error) {
                    // A folder without even "." and "..": an empty drive
                    // root (a freshly formatted stick). The folder is open,
                    // so it is there.
                    case ERROR_FILE_NOT_FOUND:
                        return HandleRead::Done;
                    case ERROR_INVALID_PARAMETER:  // also a file opened as a folder
                        return HandleRead::Refused;
                    case ERROR_INVALID_FUNCTION:
                    case ERROR_NOT_SUPPORTED:
                    case ERROR_CALL_NOT_IMPLEMENTED:
                    case ERROR_INVALID_LEVEL:
                        NoteRefusal(root);
                        return HandleRead::Refused;
                    default:
                        break;
                }
            }
            error_ = error;
            return HandleRead::Failed;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            const size_t length = info.FileNameLength / sizeof(wchar_t);
            if (!IsDotEntry(info.FileName, length)) {
                FindEntry entry;
                entry.name.assign(info.FileName, length);
                entry.attributes = info.FileAttributes;
                entry.creation = TimeOf(info.CreationTime);
                entry.access = TimeOf(info.LastAccessTime);
                entry.write = TimeOf(info.LastWriteTime);
                entry.size = static_cast<std::uint64_t>(info.EndOfFile.QuadPart);
                // Where a listing keeps a reparse point's tag.
                entry.reparseTag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.EaSize : 0;
                entry.fileId = static_cast<std::uint64_t>(info.FileId.QuadPart);
                Take(std::move(entry));
            }
            if (!info.NextEntryOffset) break;
            bytes += info.NextEntryOffset;
        }
    }
}

bool FolderListing::ReadByFind(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(LongPath(folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.Get() == INVALID_HANDLE_VALUE) {
        error_ = GetLastError();
        // Only an empty drive root lists nothing at all, not even "."; a
        // folder that is not there is never empty.
        ok_ = error_ == ERROR_FILE_NOT_FOUND && IsDirectory(folder);
        return ok_;
    }
    do {
        if (IsDotEntry(data.cFileName, wcslen(data.cFileName))) continue;
        Take(EntryOf(data));
    } while (FindNextFileW(find.Get(), &data));
    error_ = GetLastError();
    // A listing cut short is no listing: its gaps would read as missing files.
    ok_ = error_ == ERROR_NO_MORE_FILES;
    if (!ok_) entries_.clear();
    return ok_;
}

FindEntry EntryOf(const WIN32_FIND_DATAW& data) {
    return {data.cFileName,
            data.dwFileAttributes,
            data.ftCreationTime,
            data.ftLastAccessTime,
            data.ftLastWriteTime,
            (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0};
}

bool OwnName(const std::wstring& wanted, const std::wstring& found) {
    return EqualsNoCase(wanted, found);
}

bool MayReachShortName(const std::wstring& path) {
    return FileNameOf(path).find(L'~') != std::wstring::npos || CurrentFaultSeam();
}

std::wstring ResolvedByName(const std::wstring& path) {
    FaultSeam* seam = CurrentFaultSeam();
    if (!seam) return path;
    const std::wstring holder = CallSeamShortNameHolder(*seam, path);
    return holder.empty() ? path : FolderOf(path) + holder;
}

std::optional<FindEntry> ReadNamedEntry(const std::wstring& path, DWORD& error, std::wstring* heldBy) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(LongPath(ResolvedByName(path)).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return std::nullopt;
    }
    FindClose(find);
    if (!OwnName(FileNameOf(path), data.cFileName)) {
        if (heldBy) *heldBy = data.cFileName;
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    error = 0;
    return EntryOf(data);
}

const std::vector<std::uint32_t>& FolderListing::ExactIndex() const {
    if (exact_.empty()) exact_ = BuildIndex(entries_, HashExact);
    return exact_;
}

const std::vector<std::uint32_t>& FolderListing::FoldedIndex() const {
    if (folded_.empty()) folded_ = BuildIndex(entries_, HashFolded);
    return folded_;
}

const FindEntry* FolderListing::FindFolded(const std::wstring& name) const {
    return Probe(entries_, FoldedIndex(), HashFolded(name),
                 [&](const std::wstring& other) { return EqualFolded(other, name); });
}

const FindEntry* FolderListing::Find(const std::wstring& name) const {
    if (const FindEntry* exact =
            Probe(entries_, ExactIndex(), HashExact(name), [&](const std::wstring& other) { return other == name; })) {
        return exact;
    }
    return FindFolded(name);
}

std::vector<FolderListing::CaseTwin> FolderListing::CaseTwins() const {
    std::vector<CaseTwin> twins;
    if (entries_.size() < 2) return twins;
    // Each entry's group is named by its first member.
    std::vector<size_t> first(entries_.size());
    bool any = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        first[i] = static_cast<size_t>(FindFolded(entries_[i].name) - entries_.data());
        any |= first[i] != i;
    }
    if (!any) return twins;
    std::vector<size_t> kept(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) kept[i] = first[i];
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t& k = kept[first[i]];
        if (entries_[i].name < entries_[k].name) k = i;
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        const size_t k = kept[first[i]];
        // As the file system compares names, not by a locale's case map.
        if (i != k && EqualsNoCase(entries_[i].name, entries_[k].name)) twins.push_back({k, i});
    }
    return twins;
}

TwinGroups::TwinGroups(const FolderListing& master) : master_(master) {
    const std::vector<FindEntry>& entries = master.entries();
    for (const FolderListing::CaseTwin& twin : master.CaseTwins()) {
        if (kept_.empty()) kept_.assign(entries.size(), nullptr);
        kept_[twin.twin] = kept_[twin.kept] = &entries[twin.kept];
    }
}

const FindEntry* TwinGroups::KeptOf(const FindEntry& masterEntry) const {
    if (kept_.empty()) return nullptr;
    const FindEntry* kept = kept_[static_cast<size_t>(&masterEntry - master_.entries().data())];
    return kept != &masterEntry ? kept : nullptr;
}

const FindEntry* TwinGroups::Counterpart(const FolderListing& backup, const FindEntry& entry, bool& leave) const {
    leave = false;
    const FindEntry* found = master_.Find(entry.name);
    if (!found || kept_.empty()) return found;
    const FindEntry* kept = kept_[static_cast<size_t>(found - master_.entries().data())];
    if (!kept) return found;
    leave = backup.Find(kept->name) != &entry;
    return kept;
}

std::optional<std::int64_t> FileTimeSeconds(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    const std::int64_t seconds = ticks / 10000000 - 11644473600LL;
    if (ticks < 0 || seconds < 0 || seconds >= 32503680000LL) return std::nullopt;
    return seconds;
}

bool TimesValid(const FindEntry& entry) {
    return FileTimeSeconds(entry.creation) && FileTimeSeconds(entry.access) && FileTimeSeconds(entry.write);
}

}  // namespace tandrel
