// Backup files put into the history folder: by rename or link where the
// volume allows, else by a copy that is read back before the original goes.
#include <cstring>
#include <vector>

#include "engine/FaultSeam.h"
#include "engine/FileOps.h"
#include "platform/Environment.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

bool SameContent(const std::wstring& a, const std::wstring& b) {
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle first(CreateFileW(LongPath(a).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueHandle second(CreateFileW(LongPath(b).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!first || !second) return false;
    std::vector<char> x(1 << 16), y(1 << 16);
    for (;;) {
        DWORD nx = 0, ny = 0;
        if (!ReadFile(first.Get(), x.data(), static_cast<DWORD>(x.size()), &nx, nullptr) ||
            !ReadFile(second.Get(), y.data(), static_cast<DWORD>(y.size()), &ny, nullptr) || nx != ny) {
            return false;
        }
        if (nx == 0) return true;
        if (std::memcmp(x.data(), y.data(), nx) != 0) return false;
    }
}

// A copy that is whole and equal to the file before it takes the target's
// name; 0 or the system's error.
DWORD CopyVerified(const std::wstring& path, const std::wstring& target) {
    const std::wstring partial = target + L".partial";
    DWORD error = 0;
    if (!CopyFileW(LongPath(path).c_str(), LongPath(partial).c_str(), FALSE)) {
        error = GetLastError();
    } else if (!SameContent(path, partial)) {
        error = ERROR_CRC;
    } else if (!MoveFileExW(LongPath(partial).c_str(), LongPath(target).c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error) {
        SetFileAttributesW(LongPath(partial).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(LongPath(partial).c_str());
    }
    return error;
}

}  // namespace

bool FileOps::MoveIntoHistory(const std::wstring& path, const std::wstring& target) {
    return Retrying(FaultPoint::Rename, path, [&](DWORD error) {
        CreateDirectoryTree(FolderOf(target, true));
        if (!error) {
            if (MoveFileExW(LongPath(path).c_str(), LongPath(target).c_str(), 0)) return Attempt::Done();
            error = GetLastError();
        }
        if (error == ERROR_NOT_SAME_DEVICE) {
            // Another volume: the copy is checked before the file goes; a
            // deletion that fails leaves it in both places.
            error = CopyVerified(path, target);
            if (!error) {
                SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                if (DeleteFileW(LongPath(path).c_str())) return Attempt::Done();
                error = GetLastError();
            }
        }
        return Attempt::Failed(Question(LevelSkipped,
                                        Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(),
                                               SystemErrorText(error).c_str()),
                                        error, IDS_HISTORY_FAILED));
    });
}

bool FileOps::LinkIntoHistory(const std::wstring& path, const std::wstring& target) {
    return Retrying(FaultPoint::Rename, path, [&](DWORD error) {
        CreateDirectoryTree(FolderOf(target, true));
        if (!error) {
            if (CreateHardLinkW(LongPath(target).c_str(), LongPath(path).c_str(), nullptr)) return Attempt::Done();
            error = GetLastError();
            // No links there (another volume, FAT): a copy does.
            if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) error = CopyVerified(path, target);
            if (!error) return Attempt::Done();
        } else if (error == ERROR_NOT_SAME_DEVICE) {
            error = CopyVerified(path, target);
            if (!error) return Attempt::Done();
        }
        return Attempt::Failed(Question(LevelSkipped,
                                        Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(),
                                               SystemErrorText(error).c_str()),
                                        error, IDS_HISTORY_FAILED));
    });
}

}  // namespace tandrel
