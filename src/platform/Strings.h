#pragma once
#include <string>
#include <vector>

namespace tandrel {

// A text of the program's string table; empty when the id is unknown.
std::wstring LoadText(unsigned id);

// Replaces every "%1" by first and, when second is given, every "%2" by it
// (message-format style inserts; without a second insert "%2" stays).
std::wstring InsertArgs(std::wstring text, const std::wstring& first, const std::wstring* second = nullptr);

// printf-style formatting of a wide format text.
std::wstring Format(const wchar_t* format, ...);

// Replaces every non-overlapping occurrence of from by to, left to right.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Case-insensitive comparisons under the system's rules.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);

// The system's case mapping (to lower case, else to upper case) of each
// UTF-16 unit of the basic plane, one unit at a time, as file names are
// compared; surrogate halves map to themselves.
std::vector<wchar_t> CaseMapTable(bool lower);

// Reads the leading decimal integer of a text as the C library does
// (optional sign; no digits give 0; out of range saturates).
int ParseLeadingInt(const std::wstring& text);

// -1, 0 or 1 as version text a is lower than, equal to or higher than b,
// comparing "major.minor" numerically part by part; a text without a major
// number before its "." counts as 0.0.
int CompareVersions(const std::wstring& a, const std::wstring& b);

// The entries of a list kept as one text joined by ";" (target lists),
// empty entries left out; and joined again.
std::vector<std::wstring> SplitList(const std::wstring& list);
std::wstring JoinList(const std::vector<std::wstring>& entries);

}  // namespace tandrel
