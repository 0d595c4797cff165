#include "ui/MediaDetection.h"

#include <algorithm>
#include <utility>

#include "platform/Drives.h"
#include "platform/Strings.h"
#include "resource_ui.h"

namespace tandrel {

namespace {

bool HasLabel(const std::vector<ArrivedVolume>& volumes, const std::wstring& label) {
    return std::any_of(volumes.begin(), volumes.end(),
                       [&](const ArrivedVolume& v) { return EqualsNoCase(v.label, label); });
}

}  // namespace

std::vector<ArrivedVolume> ReadArrivedLabels(DWORD drives) {
    std::vector<ArrivedVolume> volumes;
    for (int unit = 0; unit < 26; ++unit) {
        if (!(drives & (1u << unit))) continue;
        const wchar_t drive = static_cast<wchar_t>(L'A' + unit);
        std::wstring label = VolumeLabel(std::wstring(1, drive) + L":\\");
        if (!label.empty()) volumes.push_back({drive, std::move(label)});
    }
    return volumes;
}

std::vector<int> SettingsForMedia(const std::vector<FolderSetting>& settings,
                                  const std::vector<ArrivedVolume>& volumes) {
    std::vector<int> rows;
    for (size_t i = 0; i < settings.size(); ++i) {
        const FolderSetting& s = settings[i];
        if (!s.ExecIfDetectMediaVol) continue;
        // An empty label names no medium.
        const bool matches = (!s.VolumeMaster.empty() && HasLabel(volumes, s.VolumeMaster)) ||
                             (!s.Volume.empty() && HasLabel(volumes, s.Volume));
        if (matches) rows.push_back(static_cast<int>(i));
    }
    return rows;
}

std::wstring MediaQuestion(bool test, const std::vector<ArrivedVolume>& volumes,
                           const std::vector<std::wstring>& names) {
    std::wstring labels;
    for (const ArrivedVolume& v : volumes) labels += (labels.empty() ? L"" : L"\r\n") + v.label;
    std::wstring list;
    for (size_t i = 0; i < names.size() && i < kMediaNamesListed; ++i) list += L"\r\n" + names[i];
    if (names.size() > kMediaNamesListed) list += LoadText(IDS_MEDIA_MORE);
    return Format(LoadText(IDS_MEDIA_CONFIRM).c_str(), LoadText(test ? IDS_MEDIA_TEST : IDS_MEDIA_UPDATE).c_str(),
                  labels.c_str(), list.c_str());
}

bool MediaArrivals::Arrive(DWORD drives) {
    const DWORD fresh = drives & ~waiting_;
    waiting_ |= fresh;
    unread_ |= fresh;
    return fresh != 0;
}

DWORD MediaArrivals::StartReading() {
    if (reading_ || !unread_) return 0;
    reading_ = true;
    const DWORD drives = unread_;
    unread_ = 0;
    return drives;
}

void MediaArrivals::Read(DWORD drives, const std::vector<ArrivedVolume>& volumes) {
    reading_ = false;
    readDrives_ |= drives;
    for (const ArrivedVolume& v : volumes) {
        if (!HasLabel(read_, v.label)) read_.push_back(v);
    }
    // Drives without a label have nothing to run for.
    if (read_.empty()) {
        waiting_ &= ~readDrives_;
        readDrives_ = 0;
    }
}

std::vector<ArrivedVolume> MediaArrivals::Take() {
    handling_ |= readDrives_;
    readDrives_ = 0;
    return std::exchange(read_, {});
}

void MediaArrivals::Handled() {
    waiting_ &= ~handling_;
    handling_ = 0;
}

}  // namespace tandrel
