#pragma once
#include <cstdint>
#include <string>

namespace tandrel {

// A byte count as Explorer writes it: three significant digits in the
// user's language ("532 バイト", "1.50 KB", "15.2 MB", "152 GB").
std::wstring ByteSizeText(std::uint64_t bytes);
// A duration as "m:ss", from an hour on "h:mm:ss".
std::wstring ElapsedText(std::int64_t seconds);

}  // namespace tandrel
