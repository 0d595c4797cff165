#include <gtest/gtest.h>

#include "model/GlobalOptions.h"

namespace tandrel {
namespace {

TEST(TargetFileSizeTest, ParsesAndFormats) {
    struct Case { const wchar_t* text; int number; int unit; const wchar_t* formatted; };
    const Case cases[] = {
        {L"10mb", 10, 2, L"10MB"},
        {L"", 0, 0, L"0"},
        {L"512", 512, 0, L"512"},
        {L"3 GB", 3, 0, L"3"},  // the blank belongs to the suffix: " GB" is no unit
        {L"1K2TB", 12, 4, L"12TB"},
        {L"KB", 0, 1, L"0KB"},
        {L"99999999999999KB", 2147483647, 1, L"2147483647KB"},
    };
    for (const Case& c : cases) {
        const TargetFileSize size = TargetFileSize::Parse(c.text);
        EXPECT_EQ(size.number, c.number) << c.text;
        EXPECT_EQ(size.unit, c.unit) << c.text;
        EXPECT_EQ(size.Format(), c.formatted) << c.text;
    }
    EXPECT_EQ(TargetFileSize::Parse(L"2MB").Bytes(), 2u * 1024 * 1024);
}

}  // namespace
}  // namespace tandrel
