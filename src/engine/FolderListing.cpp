#include "engine/FolderListing.h"

#include "platform/Handle.h"
#include "platform/Paths.h"

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
    std::wstring folded(text.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
    if (n <= 0) return text;
    folded.resize(static_cast<size_t>(n));
    return folded;
}

bool FolderListing::Read(const std::wstring& folder) {
    entries_.clear();
    exact_.clear();
    folded_.clear();
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW(LongPath(folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.Get() == INVALID_HANDLE_VALUE) {
        error_ = GetLastError();
        // Only an empty drive root lists nothing at all, not even ".".
        ok_ = error_ == ERROR_FILE_NOT_FOUND;
        return ok_;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        FindEntry entry{name, data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime,
                        (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
        exact_.emplace(name, entries_.size());
        folded_.emplace(FoldCase(name), entries_.size());
        entries_.push_back(std::move(entry));
    } while (FindNextFileW(find.Get(), &data));
    error_ = GetLastError();
    // A listing cut short is no listing: its gaps would read as missing files.
    ok_ = error_ == ERROR_NO_MORE_FILES;
    if (ok_) error_ = 0;
    return ok_;
}

const FindEntry* FolderListing::Find(const std::wstring& name) const {
    if (auto it = exact_.find(name); it != exact_.end()) return &entries_[it->second];
    if (auto it = folded_.find(FoldCase(name)); it != folded_.end()) return &entries_[it->second];
    return nullptr;
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
