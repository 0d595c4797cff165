#include "platform/Paths.h"

#include <windows.h>

#include "platform/Environment.h"
#include "platform/Handle.h"

namespace tandrel {

std::wstring LongPath(const std::wstring& path) {
    if (path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\') return L"\\\\?\\UNC" + path.substr(1);
    return L"\\\\?\\" + path;
}

PathParts SplitPath(const std::wstring& path) {
    PathParts parts;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == L':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    const size_t slash = path.find_last_of(L"\\/");
    size_t nameStart = start;
    if (slash != std::wstring::npos && slash >= start) {
        parts.directory = path.substr(start, slash + 1 - start);
        nameStart = slash + 1;
    }
    const std::wstring name = path.substr(nameStart);
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) {
        parts.baseName = name;
    } else {
        parts.baseName = name.substr(0, dot);
        parts.extension = name.substr(dot);
    }
    return parts;
}

std::wstring FolderOf(const std::wstring& path, bool dropTrailing) {
    const PathParts parts = SplitPath(path);
    std::wstring folder = parts.drive + parts.directory;
    if (dropTrailing && folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring FileNameOf(const std::wstring& path) {
    const PathParts parts = SplitPath(path);
    return parts.baseName + parts.extension;
}

std::pair<std::wstring, std::wstring> FolderAndName(const std::wstring& path) {
    const PathParts parts = SplitPath(path);
    return {parts.drive + parts.directory, parts.baseName + parts.extension};
}

std::wstring BaseNameOf(const std::wstring& path) {
    if (path.empty()) return {};
    return SplitPath(ExpandEnvironment(path)).baseName;
}

std::wstring ModulePath() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, n < MAX_PATH ? n : MAX_PATH - 1);
}

std::wstring ModuleFolder() {
    return FolderOf(ModulePath());
}

std::wstring FullFolder(const std::wstring& path) {
    const std::wstring expanded = ExpandEnvironment(path);
    if (expanded.empty()) return {};
    std::wstring full(32000, L'\0');
    const DWORD n = GetFullPathNameW(expanded.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return {};
    full.resize(n);
    if (full.back() != L'\\') full += L'\\';
    return full;
}

bool IsDirectory(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryTree(const std::wstring& path) {
    if (path.size() <= 3) return false;
    size_t from = 3;
    if (IsUncPath(path)) {
        // A server or share cannot be created; start below the share.
        const std::wstring root = PathRoot(path);
        if (root.empty() || UncDepth(path) < 3 || path.size() <= root.size()) return false;
        // Empty server or share names cannot be reached.
        const size_t shareStart = root.find(L'\\', 2);
        if (shareStart == 2 || shareStart + 2 == root.size()) return false;
        from = root.size();
    }
    for (size_t i = from; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\') continue;
        const std::wstring prefix = path.substr(0, i);
        if (prefix.empty() || prefix.back() == L'\\') continue;
        if (IsDirectory(prefix)) continue;
        if (!CreateDirectoryW(LongPath(prefix).c_str(), nullptr)) {
            // Another process may have made it meanwhile.
            if (GetLastError() != ERROR_ALREADY_EXISTS || !IsDirectory(prefix)) return false;
        }
    }
    return true;
}

std::wstring PathRoot(const std::wstring& path) {
    if (path.size() > 2 && path[1] == L':') return path.substr(0, 3);
    int backslashes = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'\\' && ++backslashes == 4) return path.substr(0, i + 1);
    }
    if (backslashes == 3) return path.back() == L'\\' ? path : path + L'\\';
    return {};
}

bool IsUncPath(const std::wstring& path) {
    return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

int UncDepth(const std::wstring& path) {
    if (path.size() < 3 || !IsUncPath(path)) return 0;
    const size_t shareStart = path.find(L'\\', 2);
    if (shareStart == std::wstring::npos) return 1;
    const size_t afterShare = path.find(L'\\', shareStart + 1);
    return afterShare == std::wstring::npos ? 2 : 3;
}

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    UniqueHandle handle(CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.Get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace tandrel
