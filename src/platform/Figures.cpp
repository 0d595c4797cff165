#include "platform/Figures.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/Strings.h"

namespace tandrel {

std::wstring ByteSizeText(std::uint64_t bytes) {
    wchar_t text[64] = {};
    const auto signedBytes = static_cast<LONGLONG>(bytes & 0x7FFFFFFFFFFFFFFFull);
    if (!StrFormatByteSizeW(signedBytes, text, ARRAYSIZE(text))) return std::to_wstring(bytes);
    return text;
}

std::wstring ElapsedText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const std::int64_t hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours > 0) return Format(L"%d:%02d:%02d", static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(rest));
    return Format(L"%d:%02d", static_cast<int>(minutes), static_cast<int>(rest));
}

}  // namespace tandrel
