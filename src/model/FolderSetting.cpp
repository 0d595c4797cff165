#include "model/FolderSetting.h"

#include <cwctype>
#include <limits>

namespace tandrel {

namespace {
const wchar_t* const kUnitSuffix[] = {L"", L"KB", L"MB", L"GB", L"TB"};
}

TargetFileSize TargetFileSize::Parse(const std::wstring& text) {
    // Digits build the number and restart the suffix, so "1K2MB" reads as 12
    // with the suffix "MB". A number too large for 32 bits saturates.
    TargetFileSize result;
    std::int64_t number = 0;
    std::wstring suffix;
    for (wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            number = number * 10 + (c - L'0');
            if (number > std::numeric_limits<int>::max()) number = std::numeric_limits<int>::max();
            suffix.clear();
        } else {
            suffix += static_cast<wchar_t>(std::towupper(c));
        }
    }
    result.number = static_cast<int>(number);
    for (int unit = 1; unit <= 4; ++unit) {
        if (suffix == kUnitSuffix[unit]) result.unit = unit;
    }
    return result;
}

std::wstring TargetFileSize::Format() const {
    const int u = (unit >= 0 && unit <= 4) ? unit : 0;
    return std::to_wstring(number) + kUnitSuffix[u];
}

std::optional<std::uint64_t> TargetFileSize::Bytes() const {
    // The full 64-bit product for every unit: "7GB" is 7 GiB, not a multiple
    // of 4 GiB.
    std::uint64_t bytes = number < 0 ? 0 : static_cast<std::uint64_t>(number);
    for (int u = 0; u < unit && u < 4; ++u) {
        if (bytes > (UINT64_MAX >> 10)) return std::nullopt;
        bytes <<= 10;
    }
    return bytes;
}

void FolderSetting::Reset(const std::wstring& defaultName) {
    *this = FolderSetting{};
    Name = defaultName;
}

void FolderSetting::ClearRunState() {
    runSelection = 0;
    testFlag = 0;
    status = RunStatus{};
}

}  // namespace tandrel
