#include "ui/ListTexts.h"

#include <ctime>

#include "platform/DateFormat.h"
#include "platform/Strings.h"
#include "resource.h"

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
    // A list date is a time format only: "%p" is the morning or afternoon
    // mark, not the project, and a "?" of the format stays a "?".
    const std::wstring pattern = ListDateFormat(format);
    std::wstring blank;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%' || i + 1 >= pattern.size()) {
            blank += pattern[i];
            continue;
        }
        if (pattern[i + 1] == L'#' && i + 2 < pattern.size()) ++i;
        const wchar_t code = pattern[++i];
        switch (code) {
            case L'%': blank += L'%'; break;
            case L'Y': blank += L"----"; break;
            case L'j': blank += L"---"; break;
            case L'w': blank += L'-'; break;
            case L'y': case L'm': case L'd': case L'H': case L'M': case L'S': case L'I': case L'U': case L'W':
                blank += L"--";
                break;
            // Codes of no fixed width keep their place visible.
            default: blank += L"--"; break;
        }
    }
    return blank;
}

namespace {

// The numeric codes written here directly: a copy of a large report formats
// hundreds of thousands of times, and the runtime's formatter is slow.
// Empty when the format holds any other code.
std::wstring NumericLocalTime(const std::wstring& format, std::time_t time) {
    const std::tm* local = std::localtime(&time);
    if (!local) return {};
    std::wstring text;
    text.reserve(format.size() + 8);
    const auto two = [&text](int n) {
        text += static_cast<wchar_t>(L'0' + n / 10 % 10);
        text += static_cast<wchar_t>(L'0' + n % 10);
    };
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            text += format[i];
            continue;
        }
        if (++i >= format.size()) return {};
        switch (format[i]) {
            case L'Y': text += std::to_wstring(local->tm_year + 1900); break;
            case L'y': two(local->tm_year % 100); break;
            case L'm': two(local->tm_mon + 1); break;
            case L'd': two(local->tm_mday); break;
            case L'H': two(local->tm_hour); break;
            case L'M': two(local->tm_min); break;
            case L'S': two(local->tm_sec); break;
            case L'%': text += L'%'; break;
            default: return {};
        }
    }
    return text;
}

}  // namespace

std::wstring ListTime(std::time_t time, const std::wstring& format, const std::wstring& blank) {
    // Times before 1970 are unset values, not dates.
    if (time <= 0) return blank;
    std::wstring text = NumericLocalTime(format, time);
    return text.empty() || text.size() >= 128 ? FormatLocalTime(format, time) : text;
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
