#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tandrel {

struct PathParts {
    std::wstring drive;      // "C:" or empty
    std::wstring directory;  // with its trailing backslash
    std::wstring baseName;   // without extension
    std::wstring extension;  // with its dot
};

// The "\\?\" form of an absolute path, so file-system calls accept paths
// beyond 260 characters; "\\server\share" becomes "\\?\UNC\server\share".
std::wstring LongPath(const std::wstring& path);
// Splits like the C runtime's path split, but never truncates long parts.
PathParts SplitPath(const std::wstring& path);
// Drive + directory; with dropTrailing, without its trailing backslash
// unless that leaves a root of 3 characters or fewer.
std::wstring FolderOf(const std::wstring& path, bool dropTrailing = false);
// Base name + extension.
std::wstring FileNameOf(const std::wstring& path);
// (drive + directory, base name + extension).
std::pair<std::wstring, std::wstring> FolderAndName(const std::wstring& path);
// Base name without extension of the path after environment expansion.
std::wstring BaseNameOf(const std::wstring& path);
// Full path of the running program.
std::wstring ModulePath();
// Folder of the running program, with trailing backslash.
std::wstring ModuleFolder();
bool IsDirectory(const std::wstring& path);
// The path with environment variables expanded as a full path ending in a
// backslash; empty when it cannot be made one.
std::wstring FullFolder(const std::wstring& path);
// Creates every missing folder of an absolute path. On a network path the
// creation starts below \\server\share\, which must exist.
bool CreateDirectoryTree(const std::wstring& path);
// "C:\" of a drive path, "\\server\share\" of a network path, else empty.
std::wstring PathRoot(const std::wstring& path);
bool IsUncPath(const std::wstring& path);
// 0 not a network path, 1 \\server, 2 \\server\share, 3 deeper.
int UncDepth(const std::wstring& path);

// What a file or folder is, independent of the path that reaches it (letter
// case, "..", short names, drive letters, links): volume serial number and
// file id.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Empty when it cannot be opened.
std::optional<FileIdentity> IdentityOf(const std::wstring& path);

}  // namespace tandrel
