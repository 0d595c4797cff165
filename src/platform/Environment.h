#pragma once
#include <string>

namespace tandrel {

// %NAME% expanded; the text unchanged when expansion fails.
std::wstring ExpandEnvironment(const std::wstring& text);
// The text in double quotes when force is set or it holds a blank.
std::wstring QuoteIfSpaced(const std::wstring& text, bool force = false);
// The system's message for an error code, as the system words it.
std::wstring SystemErrorText(unsigned long code);
// A text without its final "\r\n" (the system's error texts end in one),
// for a line or a box detail.
std::wstring WithoutFinalBreak(std::wstring text);
std::wstring LastErrorText();

}  // namespace tandrel
