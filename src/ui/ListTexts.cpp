#include "ui/ListTexts.h"

#include "platform/DateFormat.h"
#include "platform/Strings.h"
#include "resource_ui.h"

namespace tandrel {

std::wstring GroupedNumber(std::uint64_t n) {
    std::wstring digits = std::to_wstring(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), 1, L',');
    return digits;
}

std::wstring SizeText(std::uint64_t s) {
    if (s < 1024) return GroupedNumber(s) + L" B";
    const wchar_t* letter = L"T";
    std::uint64_t unit = 1ull << 40;
    if (s < (1ull << 20)) {
        letter = L"K";
        unit = 1024;
    } else if (s < (1ull << 30)) {
        letter = L"M";
        unit = 1ull << 20;
    } else if (s < (1ull << 40)) {
        letter = L"G";
        unit = 1ull << 30;
    }
    const std::uint64_t v = s / unit;
    // The remainder is below the unit (at most 2^40 for T), so times 10 fits.
    const std::uint64_t d = (s - v * unit) * 10 / unit;
    return GroupedNumber(v) + L"." + std::to_wstring(d) + L" " + letter + L"B";
}

std::wstring ListDateFormat(const std::wstring& format) {
    return format.empty() ? LoadText(IDS_DEFAULT_DATE_FORMAT) : format;
}

std::wstring BlankDate(const std::wstring& format) {
    return DashMask(ListDateFormat(format));
}

std::wstring ListTime(std::time_t time, const std::wstring& format, const std::wstring& blank) {
    // Times before 1970 are unset values, not dates.
    return time <= 0 ? blank : FormatLocalTime(format, time);
}

std::wstring ResultText(int errors, std::int64_t lastExec, const std::wstring& format, const std::wstring& blank) {
    const std::wstring time = ListTime(lastExec, format, blank);
    switch (errors) {
        case 0: return Format(LoadText(IDS_RESULT_OK).c_str(), time.c_str());
        case ErrorsSkipped: return LoadText(IDS_RESULT_SKIPPED);
        case ErrorsRunning: return LoadText(IDS_RESULT_RUNNING);
        case ErrorsNeverRun: return Format(LoadText(IDS_RESULT_UNKNOWN).c_str(), time.c_str());
        default: return Format(LoadText(IDS_RESULT_ERRORS).c_str(), time.c_str(), errors);
    }
}

std::wstring CompareToolMenuText(const GlobalOptions& o, bool mainMenu) {
    if (o.CompareToolPath.empty()) return LoadText(IDS_COMPARE_NOT_SET_MENU);
    std::wstring text;
    if (o.CompareToolName.empty()) {
        text = LoadText(IDS_COMPARE_MENU);
    } else {
        std::wstring name = o.CompareToolName;
        const wchar_t last = name.back();
        // A half-width name needs a blank before the Japanese text.
        if (last < 0x80 || (last >= 0xFF61 && last <= 0xFF9F)) name += L' ';
        text = Format(LoadText(IDS_COMPARE_NAMED_MENU).c_str(), name.c_str());
    }
    return mainMenu ? text + LoadText(IDS_COMPARE_ACCEL) : text;
}

}  // namespace tandrel
