#include "engine/FolderListing.h"

#include <algorithm>
#include <cwctype>

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

std::wstring FoldCase(const std::wstring& text) {
    if (text.empty()) return text;
    // Most names are plain ASCII, where the system's table is a-z to A-Z.
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; })) {
        std::wstring folded = text;
        for (wchar_t& c : folded) {
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        }
        return folded;
    }
    std::wstring folded(text.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
    if (n <= 0) return text;
    folded.resize(static_cast<size_t>(n));
    return folded;
}

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

bool FolderListing::Read(const std::wstring& folder) {
    entries_.clear();
    partials_.clear();
    exact_.clear();
    folded_.clear();
    indexed_ = foldIndexed_ = false;
    if (const DWORD fault = InjectedFault(FaultPoint::List, folder)) {
        error_ = fault;
        ok_ = false;
        return false;
    }
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
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPartialCopyName(name)) {
            partials_.push_back(name);
            continue;
        }
        entries_.push_back(EntryOf(data));
    } while (FindNextFileW(find.Get(), &data));
    error_ = GetLastError();
    // A listing cut short is no listing: its gaps would read as missing files.
    ok_ = error_ == ERROR_NO_MORE_FILES;
    if (!ok_) {
        entries_.clear();
        return false;
    }
    error_ = 0;
    if (FaultSeam* seam = CurrentFaultSeam()) CallSeamListed(*seam, folder, entries_);
    return true;
}

void FolderLister::ReadInto(FolderListing& listing, const std::wstring& folder) {
    try {
        listing.Read(folder);
    } catch (...) {
        // Out of memory: a listing that failed, never an empty one.
        listing.entries_.clear();
        listing.ok_ = false;
        listing.error_ = ERROR_NOT_ENOUGH_MEMORY;
    }
}

FolderLister::~FolderLister() {
    if (!thread_) return;
    AcquireSRWLockExclusive(&lock_);
    quit_ = true;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&changed_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

void FolderLister::Start(const std::wstring& folder, FolderListing& listing) {
    if (!thread_) thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    if (!thread_) {
        // No second thread: the listing is read here, one after the other.
        ReadInto(listing, folder);
        return;
    }
    AcquireSRWLockExclusive(&lock_);
    folder_ = folder;
    asked_ = &listing;
    done_ = false;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&changed_);
}

void FolderLister::Wait() {
    AcquireSRWLockExclusive(&lock_);
    while (!done_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    ReleaseSRWLockExclusive(&lock_);
}

DWORD WINAPI FolderLister::Run(void* self) {
    FolderLister& lister = *static_cast<FolderLister*>(self);
    AcquireSRWLockExclusive(&lister.lock_);
    for (;;) {
        while (!lister.asked_ && !lister.quit_) SleepConditionVariableSRW(&lister.changed_, &lister.lock_, INFINITE, 0);
        if (lister.quit_) break;
        FolderListing& listing = *lister.asked_;
        lister.asked_ = nullptr;
        const std::wstring folder = lister.folder_;
        ReleaseSRWLockExclusive(&lister.lock_);
        ReadInto(listing, folder);
        AcquireSRWLockExclusive(&lister.lock_);
        lister.done_ = true;
        WakeAllConditionVariable(&lister.changed_);
    }
    ReleaseSRWLockExclusive(&lister.lock_);
    return 0;
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

const FindEntry* FolderListing::Find(const std::wstring& name) const {
    if (!indexed_) {
        exact_.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) exact_.emplace(entries_[i].name, i);
        indexed_ = true;
    }
    if (auto it = exact_.find(name); it != exact_.end()) return &entries_[it->second];
    if (!foldIndexed_) {
        folded_.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) folded_.emplace(FoldCase(entries_[i].name), i);
        foldIndexed_ = true;
    }
    if (auto it = folded_.find(FoldCase(name)); it != folded_.end()) return &entries_[it->second];
    return nullptr;
}

std::vector<FolderListing::CaseTwin> FolderListing::CaseTwins() const {
    std::vector<CaseTwin> twins;
    if (entries_.size() < 2) return twins;
    std::unordered_map<std::wstring, std::vector<size_t>> groups;
    groups.reserve(entries_.size());
    bool any = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        std::vector<size_t>& group = groups[FoldCase(entries_[i].name)];
        group.push_back(i);
        any |= group.size() > 1;
    }
    if (!any) return twins;
    for (auto& [key, group] : groups) {
        if (group.size() < 2) continue;
        const auto first = std::min_element(group.begin(), group.end(),
                                            [&](size_t a, size_t b) { return entries_[a].name < entries_[b].name; });
        const size_t kept = *first;
        for (const size_t i : group) {
            // As the file system compares names, not by a locale's case map.
            if (i != kept && EqualsNoCase(entries_[i].name, entries_[kept].name)) twins.push_back({kept, i});
        }
    }
    return twins;
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
