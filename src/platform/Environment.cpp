#include "platform/Environment.h"

#include <windows.h>

#include <vector>

namespace tandrel {

namespace {
constexpr DWORD kExpansionLimit = 32000;
}

std::wstring ExpandEnvironment(const std::wstring& text) {
    if (text.empty()) return {};
    std::vector<wchar_t> buffer(kExpansionLimit);
    const DWORD n = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), kExpansionLimit);
    if (n == 0 || n > kExpansionLimit) return text;
    return std::wstring(buffer.data());
}

std::wstring QuoteIfSpaced(const std::wstring& text, bool force) {
    if (force || text.find(L' ') != std::wstring::npos) return L"\"" + text + L"\"";
    return text;
}

std::wstring SystemErrorText(unsigned long code) {
    wchar_t* message = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                   reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::wstring text = n && message ? std::wstring(message, n) : std::wstring();
    if (message) LocalFree(message);
    return text;
}

std::wstring WithoutFinalBreak(std::wstring text) {
    if (text.ends_with(L"\r\n")) text.resize(text.size() - 2);
    return text;
}

std::wstring LastErrorText() {
    return SystemErrorText(GetLastError());
}

}  // namespace tandrel
