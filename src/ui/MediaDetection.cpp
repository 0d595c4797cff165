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

bool MediaArrivals::Arrive(DWORD drives, ULONGLONG now) {
    const DWORD fresh = drives & ~waiting_;
    waiting_ |= fresh;
    unread_ |= fresh;
    if (fresh) lastArrival_ = now;
    return fresh != 0;
}

DWORD MediaArrivals::StartReading(ULONGLONG now) {
    const DWORD drives = unread_;
    unread_ = 0;
    reading_ |= drives;
    for (int unit = 0; unit < 26; ++unit) {
        if (drives & (1u << unit)) readSince_[unit] = now;
    }
    return drives;
}

void MediaArrivals::Read(DWORD drives, const std::vector<ArrivedVolume>& volumes) {
    drives &= reading_;
    reading_ &= ~drives;
    DWORD labelled = 0;
    for (const ArrivedVolume& v : volumes) {
        const DWORD bit = v.drive >= L'A' && v.drive <= L'Z' ? 1u << (v.drive - L'A') : 0;
        if (!(drives & bit)) continue;
        labelled |= bit;
        if (!HasLabel(read_, v.label)) read_.push_back(v);
    }
    readDrives_ |= labelled;
    // Drives without a label have nothing to run for.
    waiting_ &= ~(drives & ~labelled);
}

bool MediaArrivals::GiveUpSlowReads(ULONGLONG now) {
    DWORD slow = 0;
    for (int unit = 0; unit < 26; ++unit) {
        if ((reading_ & (1u << unit)) && now - readSince_[unit] >= kLabelReadLimitMs) slow |= 1u << unit;
    }
    reading_ &= ~slow;
    waiting_ &= ~slow;
    return slow != 0;
}

bool MediaArrivals::Ready(ULONGLONG now) const {
    if (read_.empty() || now - lastArrival_ < kArrivalsSettleMs) return false;
    // A drive read just now may still bring the other label of a setting;
    // one that takes longer is not waited for.
    for (int unit = 0; unit < 26; ++unit) {
        if ((reading_ & (1u << unit)) && now - readSince_[unit] < kArrivalsSettleMs) return false;
    }
    return true;
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
