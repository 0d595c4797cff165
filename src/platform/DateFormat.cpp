#include "platform/DateFormat.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "platform/Environment.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

// The codes of the C runtime's strftime, each allowed with the "#" flag.
// The runtime answers any other code through its invalid-parameter
// handler, whose default ends the program, so such patterns never reach it.
bool KnownTimeCodes(const std::wstring& pattern) {
    static const wchar_t kCodes[] = L"aAbBcdHIjmMpSUwWxXyYzZ%";
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%') continue;
        if (++i < pattern.size() && pattern[i] == L'#') ++i;
        if (i >= pattern.size() || !std::wcschr(kCodes, pattern[i])) return false;
    }
    return true;
}

bool FileNameChar(wchar_t c) {
    const UINT type = PathGetCharTypeW(c);
    return (type & (GCT_LFNCHAR | GCT_SHORTCHAR)) && !(type & (GCT_WILD | GCT_SEPARATOR));
}

struct DateCode {
    const wchar_t* code;
    const wchar_t* mask;
};
// In the order the masks are applied.
constexpr DateCode kDateCodes[] = {
    {L"%Y", L"????"}, {L"%y", L"??"}, {L"%m", L"??"}, {L"%d", L"??"},  {L"%H", L"??"}, {L"%M", L"??"},
    {L"%S", L"??"},   {L"%I", L"??"}, {L"%j", L"???"}, {L"%U", L"??"}, {L"%w", L"?"},  {L"%W", L"??"},
};

// One piece of a pattern: literal text (with its environment references)
// or one date code ("%Y", "%#d").
struct DatePart {
    bool code = false;
    std::wstring text;
};

bool DefinedVariable(const std::wstring& name) {
    if (name.size() < 2 || name.find_first_of(L"=% ") != std::wstring::npos) return false;
    SetLastError(ERROR_SUCCESS);
    return GetEnvironmentVariableW(name.c_str(), nullptr, 0) > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

std::vector<DatePart> SplitDatePattern(const std::wstring& text) {
    std::vector<DatePart> parts;
    std::wstring literal;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            literal += text[i];
            continue;
        }
        const size_t close = text.find(L'%', i + 1);
        if (close != std::wstring::npos && DefinedVariable(text.substr(i + 1, close - i - 1))) {
            literal += text.substr(i, close - i + 1);
            i = close;
            continue;
        }
        const size_t length = i + 1 < text.size() && text[i + 1] == L'#' ? 3 : 2;
        if (!literal.empty()) parts.push_back({false, std::move(literal)});
        literal.clear();
        parts.push_back({true, text.substr(i, length)});
        i += length - 1;
    }
    if (!literal.empty()) parts.push_back({false, std::move(literal)});
    return parts;
}

// The digits of a numeric date code as strftime writes them; false for
// every other code.
bool AppendNumericCode(std::wstring& text, wchar_t code, const std::tm& local) {
    const auto two = [&text](int n) {
        text += static_cast<wchar_t>(L'0' + n / 10 % 10);
        text += static_cast<wchar_t>(L'0' + n % 10);
    };
    switch (code) {
        case L'Y': text += std::to_wstring(local.tm_year + 1900); return true;
        case L'y': two(local.tm_year % 100); return true;
        case L'm': two(local.tm_mon + 1); return true;
        case L'd': two(local.tm_mday); return true;
        case L'H': two(local.tm_hour); return true;
        case L'M': two(local.tm_min); return true;
        case L'S': two(local.tm_sec); return true;
        default: return false;
    }
}

}  // namespace

std::wstring ProjectSlot::PaddedNumber() const {
    const int count = projects ? projects->Count() : 0;
    const int digits = static_cast<int>(std::to_wstring(count).size());
    return Format(L"%0*d", digits, Number());
}

std::wstring ProjectSlot::Name() const {
    return projects && projects->Valid(slot) ? projects->Name(slot) : std::wstring();
}

std::wstring ExpandProjectPlaceholders(std::wstring text, const ProjectSlot& project, bool forFileName) {
    if (text.find(L'%') == std::wstring::npos) return text;
    ReplaceAll(text, L"%0p", project.PaddedNumber());
    ReplaceAll(text, L"%p", std::to_wstring(project.Number()));
    std::wstring name = project.Name();
    if (forFileName) {
        for (wchar_t& c : name) {
            if (!FileNameChar(c)) c = L'_';
        }
    }
    ReplaceAll(text, L"%P", name);
    return text;
}

std::time_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::wstring FormatLocalTime(const std::wstring& pattern, std::time_t time) {
    if (pattern.empty() || !KnownTimeCodes(pattern)) return {};
    const std::tm* local = std::localtime(&time);
    if (!local) return {};
    // The runtime's wcsftime takes the whole text through the narrow code
    // page and garbles every character outside it (a Japanese folder name),
    // so only the codes themselves are handed to it.
    std::wstring text;
    for (size_t i = 0; i < pattern.size() && text.size() < 128; ++i) {
        if (pattern[i] != L'%') {
            text += pattern[i];
            continue;
        }
        const size_t length = pattern[i + 1] == L'#' ? 3 : 2;
        // The numeric codes directly: a report copy formats hundreds of
        // thousands of times, and the runtime's formatter is slow.
        if (length == 2 && AppendNumericCode(text, pattern[i + 1], *local)) {
            ++i;
            continue;
        }
        wchar_t buffer[128];
        const size_t n = std::wcsftime(buffer, 128, pattern.substr(i, length).c_str(), local);
        // Some runtimes report an overflowing text as filling the whole
        // buffer instead of as 0.
        if (n >= 128) return {};
        text.append(buffer, n);
        i += length - 1;
    }
    if (text.empty() || text.size() >= 128) return {};
    return text;
}

std::wstring DateFormat(const std::wstring& pattern, const ProjectSlot& project, std::time_t time) {
    // Codes and variables are told apart first: a variable's name must not
    // reach strftime (which knows no "%T…%"), nor a variable's value.
    std::wstring formatted;
    for (const DatePart& part : SplitDatePattern(ExpandProjectPlaceholders(pattern, project, true))) {
        if (!part.code) {
            formatted += part.text;
        } else if (!KnownTimeCodes(part.text)) {
            return {};
        } else {
            formatted += FormatLocalTime(part.text, time);
        }
        if (formatted.size() >= 128) return {};
    }
    if (formatted.empty()) return {};
    return ExpandEnvironment(formatted);
}

std::wstring DateMask(const std::wstring& pattern, const ProjectSlot& project) {
    std::wstring mask = ExpandProjectPlaceholders(pattern, project, true);
    for (const DateCode& code : kDateCodes) ReplaceAll(mask, code.code, code.mask);
    return mask;
}

std::wstring LogMask(const std::wstring& pattern, const ProjectSlot& project) {
    // Built as DateFormat builds a name, so variables expand the same way.
    std::wstring mask;
    for (const DatePart& part : SplitDatePattern(ExpandProjectPlaceholders(pattern, project, true))) {
        if (!part.code) {
            mask += part.text;
        } else if (part.text == L"%%") {
            mask += L'%';
        } else {
            // Codes of no fixed width (names, "%#d") stay as text and match no file.
            const DateCode* fixed = nullptr;
            for (const DateCode& code : kDateCodes) {
                if (part.text == code.code) fixed = &code;
            }
            mask += fixed ? fixed->mask : part.text;
        }
    }
    return ExpandEnvironment(mask);
}

std::wstring DashMask(const std::wstring& pattern) {
    std::wstring blank;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%' || i + 1 >= pattern.size()) {
            blank += pattern[i];
            continue;
        }
        if (pattern[i + 1] == L'#' && i + 2 < pattern.size()) ++i;
        const std::wstring code{L'%', pattern[++i]};
        if (code == L"%%") {
            blank += L'%';
            continue;
        }
        // Codes of no fixed width keep their place visible.
        std::wstring dashes = L"--";
        for (const DateCode& known : kDateCodes) {
            if (code == known.code) dashes.assign(std::wcslen(known.mask), L'-');
        }
        blank += dashes;
    }
    return blank;
}

}  // namespace tandrel
