#include "ui/ProgressText.h"

#include "platform/Figures.h"
#include "platform/Strings.h"
#include "resource_ui.h"
#include "ui/ListTexts.h"

namespace tandrel {

std::wstring ProgressLine(const ProgressFigures& figures) {
    const bool several = figures.settingCount > 1;
    const std::wstring both = LoadText(IDS_PROGRESS_BOTH);
    const auto count = [&](std::int64_t setting, std::int64_t batch) {
        const std::wstring own = GroupedNumber(static_cast<std::uint64_t>(setting));
        if (!several) return own;
        return Format(both.c_str(), own.c_str(), GroupedNumber(static_cast<std::uint64_t>(batch)).c_str());
    };
    const std::wstring setting =
        Format(LoadText(IDS_PROGRESS_SETTING).c_str(), figures.settingNumber, figures.settingCount);
    const std::wstring left = figures.secondsLeft
                                  ? Format(LoadText(IDS_PROGRESS_LEFT).c_str(), ElapsedText(*figures.secondsLeft).c_str())
                                  : std::wstring();
    const RunCounts& s = figures.setting;
    const RunCounts& b = figures.batch;
    return Format(LoadText(IDS_PROGRESS_LINE).c_str(), setting.c_str(), count(s.created, b.created).c_str(),
                  count(s.updated, b.updated).c_str(), count(s.deleted, b.deleted).c_str(),
                  count(s.errors, b.errors).c_str(), ByteSizeText(b.bytes).c_str(),
                  ElapsedText(static_cast<std::int64_t>(figures.elapsedMs / 1000)).c_str(), left.c_str());
}

}  // namespace tandrel
