#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "model/FolderSetting.h"

namespace tandrel {

// True for a root without medium or of a removable or CD-ROM drive.
bool IsRemovableRoot(const std::wstring& root);
// The volume label of a root; empty when it cannot be read.
std::wstring VolumeLabel(const std::wstring& root);

struct DriveSearch {
    // Number of drives with the label; -1 when the drives cannot be listed.
    int count = 0;
    // Their roots, separated by one blank ("E:\ F:\").
    std::wstring roots;
    // The system error when the drives cannot be listed.
    unsigned long error = 0;
};
// Compares the label of every logical drive with the given one, ignoring
// case. A drive whose label cannot be read counts as having none.
DriveSearch FindDrivesByLabel(const std::wstring& label);

enum DriveStatus { DriveNotAsked = -1, DriveFound = 0, DriveListError = 1, DriveNotFound = 2, DriveAmbiguous = 3 };
enum DriveSide { SideMaster = 0, SideBackup = 1, SideBoth = 2 };

// Finds the drive a folder setting's master or backup lives on today by the
// volume label stored with it, for media whose drive letter changes.
class DriveDetector {
public:
    struct Side {
        std::wstring path;
        std::wstring label;
        std::wstring expandedPath;
        std::wstring root;
        int status = DriveNotAsked;
        std::wstring foundRoots;
        // The expanded path on the found drive (DriveFound only).
        std::wstring resolvedPath;
        // The system's text of the listing error (DriveListError only).
        std::wstring errorText;
    };

    explicit DriveDetector(FolderSetting& setting);
    // Detects the sides whose detection the setting has on; with apply the
    // setting's Master or Backup becomes the resolved path. True unless a
    // side was not found, found more than once or failed.
    bool Detect(bool apply, int sides);
    const Side& side(int i) const { return sides_[i]; }

private:
    FolderSetting& setting_;
    Side sides_[2];
};

// Where a folder lives, as far as copying to or from it goes.
struct CopyPlace {
    // A network drive or a UNC path.
    bool remote = false;
    // The physical disk, or the volume where the system does not name the
    // disk; empty when neither is known.
    std::wstring disk;
};
CopyPlace CopyPlaceOf(const std::wstring& path);

// How many copies may run at once between a master and a backup when the
// user leaves it to the program: a share answers each file after a round
// trip, so 8 keep it busy; two local disks work side by side, so 2; one disk
// would only move its head between the files, so 1. Unknown disks count as
// two.
int DefaultCopyWorkers(const CopyPlace& master, const CopyPlace& backup);
int DefaultCopyWorkers(const std::wstring& master, const std::wstring& backup);

using StatusTextSink = std::function<void(const std::wstring& text)>;

// The folder to open for one side (SideMaster or SideBackup) of a setting:
// its expanded path, or the path on the drive its label is found on. When
// detection fails, shows why and gives an empty path. setStatus, when
// given, shows the progress in the status line.
std::wstring DetectDriveForOpen(const FolderSetting& setting, int side, HWND owner = nullptr,
                                const StatusTextSink& setStatus = {});

}  // namespace tandrel
