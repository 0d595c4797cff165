#include "platform/Drives.h"

#include <winioctl.h>

#include <algorithm>

#include "platform/Environment.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_platform.h"

namespace tandrel {

bool IsRemovableRoot(const std::wstring& root) {
    switch (GetDriveTypeW(root.c_str())) {
        case DRIVE_NO_ROOT_DIR:
        case DRIVE_REMOVABLE:
        case DRIVE_CDROM:
            return true;
        default:
            return false;
    }
}

namespace {

// The physical disk of a volume ("\\?\Volume{…}" or "\\.\C:", without a
// trailing backslash), when the system tells it.
std::wstring DiskOfVolume(const std::wstring& volume) {
    HANDLE device = CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (device == INVALID_HANDLE_VALUE) return {};
    // Room for a volume spread over a few disks; the first names it.
    alignas(VOLUME_DISK_EXTENTS) unsigned char buffer[sizeof(VOLUME_DISK_EXTENTS) + 7 * sizeof(DISK_EXTENT)];
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer, sizeof buffer,
                                    &returned, nullptr);
    CloseHandle(device);
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    if (!ok || returned < sizeof(VOLUME_DISK_EXTENTS) || extents->NumberOfDiskExtents == 0) return {};
    return L"disk " + std::to_wstring(extents->Extents[0].DiskNumber);
}

}  // namespace

CopyPlace CopyPlaceOf(const std::wstring& path) {
    CopyPlace place;
    std::wstring plain = path;
    if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        place.remote = true;
        return place;
    }
    if (plain.rfind(L"\\\\?\\", 0) == 0) plain.erase(0, 4);
    if (IsUncPath(plain)) {
        place.remote = plain.rfind(L"\\\\.\\", 0) != 0;
        return place;
    }
    // The volume's own root, also for a folder mounted below a drive; a
    // backup folder that does not exist yet has one too.
    wchar_t root[MAX_PATH + 1] = {};
    std::wstring volumeRoot =
        GetVolumePathNameW(plain.c_str(), root, MAX_PATH + 1) ? std::wstring(root) : PathRoot(plain);
    if (volumeRoot.empty()) return place;
    if (volumeRoot.back() != L'\\') volumeRoot += L'\\';
    if (GetDriveTypeW(volumeRoot.c_str()) == DRIVE_REMOTE) {
        place.remote = true;
        return place;
    }
    // No dialog asking for a medium when a removable drive is empty.
    DWORD oldMode = 0;
    const BOOL quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode);
    wchar_t name[MAX_PATH + 1] = {};
    std::wstring volume = GetVolumeNameForVolumeMountPointW(volumeRoot.c_str(), name, MAX_PATH + 1)
                              ? std::wstring(name)
                              : L"\\\\.\\" + volumeRoot.substr(0, 2);
    if (volume.back() == L'\\') volume.pop_back();
    place.disk = DiskOfVolume(volume);
    if (place.disk.empty()) {
        // Not told the disk: one volume is surely one disk.
        DWORD serial = 0;
        if (GetVolumeInformationW(volumeRoot.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
            place.disk = L"volume " + std::to_wstring(serial);
        }
    }
    if (quiet) SetThreadErrorMode(oldMode, nullptr);
    return place;
}

int DefaultCopyWorkers(const CopyPlace& master, const CopyPlace& backup) {
    if (master.remote || backup.remote) return 8;
    if (!master.disk.empty() && master.disk == backup.disk) return 1;
    return 2;
}

int DefaultCopyWorkers(const std::wstring& master, const std::wstring& backup) {
    return DefaultCopyWorkers(CopyPlaceOf(master), CopyPlaceOf(backup));
}

std::wstring VolumeLabel(const std::wstring& root) {
    wchar_t name[129] = {};
    // No dialog asking for a medium when a removable drive is empty.
    DWORD oldMode = 0;
    const BOOL quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode);
    const BOOL ok = GetVolumeInformationW(root.c_str(), name, 129, nullptr, nullptr, nullptr, nullptr, 0);
    if (quiet) SetThreadErrorMode(oldMode, nullptr);
    return ok ? std::wstring(name) : std::wstring();
}

DriveSearch FindDrivesByLabel(const std::wstring& label) {
    DriveSearch search;
    wchar_t drives[260] = {};
    const DWORD n = GetLogicalDriveStringsW(260, drives);
    if (n == 0 || n > 260) {
        search.error = n == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        search.count = -1;
        return search;
    }
    for (const wchar_t* root = drives; *root; root += wcslen(root) + 1) {
        if (!EqualsNoCase(VolumeLabel(root), label)) continue;
        if (!search.roots.empty()) search.roots += L' ';
        search.roots += root;
        ++search.count;
    }
    return search;
}

DriveDetector::DriveDetector(FolderSetting& setting) : setting_(setting) {
    sides_[SideMaster].path = setting.Master;
    sides_[SideMaster].label = setting.VolumeMaster;
    sides_[SideBackup].path = setting.Backup;
    sides_[SideBackup].label = setting.Volume;
    for (Side& side : sides_) {
        side.expandedPath = ExpandEnvironment(side.path);
        side.root = PathRoot(side.expandedPath);
    }
}

bool DriveDetector::Detect(bool apply, int sides) {
    const bool wanted[2] = {setting_.DetectDriveByVolumeMaster && (sides == SideMaster || sides == SideBoth),
                            setting_.DetectDriveByVolumeBackup && (sides == SideBackup || sides == SideBoth)};
    bool ok = true;
    for (int i = 0; i < 2; ++i) {
        Side& side = sides_[i];
        side.status = DriveNotAsked;
        side.foundRoots.clear();
        side.resolvedPath.clear();
        side.errorText.clear();
        if (!wanted[i]) continue;
        const DriveSearch search = FindDrivesByLabel(side.label);
        if (search.count == 1) {
            side.status = DriveFound;
            side.foundRoots = search.roots;
            // A share root carries a backslash its path may lack.
            side.resolvedPath = search.roots + side.expandedPath.substr(std::min(side.root.size(), side.expandedPath.size()));
            side.root = search.roots;
            if (apply) (i == SideMaster ? setting_.Master : setting_.Backup) = side.resolvedPath;
            continue;
        }
        ok = false;
        if (search.count < 0) {
            side.status = DriveListError;
            side.errorText = SystemErrorText(search.error);
        } else if (search.count == 0) {
            side.status = DriveNotFound;
        } else {
            side.status = DriveAmbiguous;
            side.foundRoots = search.roots;
        }
    }
    return ok;
}

std::wstring DetectDriveForOpen(const FolderSetting& setting, int side, HWND owner, const StatusTextSink& setStatus) {
    const auto status = [&](unsigned id) {
        if (setStatus) setStatus(LoadText(id));
    };
    status(IDS_DETECTING_DRIVE);
    // Opening a folder must not change the setting itself.
    FolderSetting copy = setting;
    DriveDetector detector(copy);
    detector.Detect(false, side);
    const DriveDetector::Side& found = detector.side(side == SideBackup ? SideBackup : SideMaster);
    std::wstring path;
    switch (found.status) {
        case DriveNotAsked:
            path = found.expandedPath;
            break;
        case DriveFound:
            path = found.resolvedPath;
            break;
        case DriveNotFound:
            ShowMessageFormat(owner, IDS_LABEL_NOT_FOUND, IDS_DRIVE_DETECT_ERROR, MB_ICONSTOP, found.label);
            break;
        case DriveAmbiguous:
            ShowMessageFormat(owner, IDS_LABEL_AMBIGUOUS, IDS_DRIVE_DETECT_ERROR, MB_ICONSTOP, found.label);
            break;
        default:
            ShowMessageFormat(owner, IDS_LABEL_ERROR, IDS_DRIVE_DETECT_ERROR, MB_ICONSTOP, found.label,
                              &found.errorText);
            break;
    }
    status(IDS_IDLE_TEXT);
    return path;
}

}  // namespace tandrel
