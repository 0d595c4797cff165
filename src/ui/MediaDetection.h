#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "model/FolderSetting.h"

namespace tandrel {

// A drive that arrived and the label it showed.
struct ArrivedVolume {
    wchar_t drive = 0;
    std::wstring label;
};

// The labels of the drives of a unit mask (bit 0 is A:); drives without a
// readable label are left out. A slow drive holds the caller: call it off
// the window thread.
std::vector<ArrivedVolume> ReadArrivedLabels(DWORD drives);

// Indices of the settings marked for media detection whose master or
// backup label equals one of the arrived labels (letter case aside).
std::vector<int> SettingsForMedia(const std::vector<FolderSetting>& settings,
                                  const std::vector<ArrivedVolume>& volumes);

// How many setting names the question lists before its truncation mark.
constexpr size_t kMediaNamesListed = 10;
// The question before a run on a medium: the action, the labels and the
// names of the settings that would run.
std::wstring MediaQuestion(bool test, const std::vector<ArrivedVolume>& volumes,
                           const std::vector<std::wstring>& names);

// A label read that has not returned by then is given up: the drive counts
// as one without a label, and detection goes on.
constexpr ULONGLONG kLabelReadLimitMs = 10000;
// Arrivals this close to each other are handled together, so that a
// setting whose two labels arrive a moment apart runs once.
constexpr ULONGLONG kArrivalsSettleMs = 1500;

// Arrivals wait here until the window may handle them. A drive counts once
// from its arrival until it was handled (its run started, was declined or
// had no setting), however often it arrives meanwhile; volumes of one label
// count once. Each drive is read on its own, so a drive that does not
// answer holds back no other. Times are tick counts.
class MediaArrivals {
public:
    // False when every drive of the mask was waiting already.
    bool Arrive(DWORD drives, ULONGLONG now);
    // The drives whose labels are to be read now, each on its own.
    DWORD StartReading(ULONGLONG now);
    // The read of drives ended with these volumes; a read given up
    // meanwhile is too late and changes nothing.
    void Read(DWORD drives, const std::vector<ArrivedVolume>& volumes);
    // Reads out for longer than the limit end as drives without a label;
    // true when one did.
    bool GiveUpSlowReads(ULONGLONG now);
    // Volumes read and not handled yet, with no arrival and no read of an
    // answering drive still to wait for.
    bool Ready(ULONGLONG now) const;
    bool Reading() const { return reading_ != 0; }
    bool Waiting() const { return waiting_ != 0; }
    // The volumes to handle now; their drives wait until Handled.
    std::vector<ArrivedVolume> Take();
    void Handled();

private:
    DWORD waiting_ = 0;
    DWORD unread_ = 0;
    DWORD reading_ = 0;
    ULONGLONG readSince_[26] = {};
    ULONGLONG lastArrival_ = 0;
    std::vector<ArrivedVolume> read_;
    DWORD readDrives_ = 0;
    DWORD handling_ = 0;
};

}  // namespace tandrel
