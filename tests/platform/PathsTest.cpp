#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::TempDir;

TEST(PathsTest, LongPathForms) {
    const struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a", L"\\\\?\\C:\\a"},
        {L"\\\\srv\\sh\\a", L"\\\\?\\UNC\\srv\\sh\\a"},
        // Too short to be a share: only the plain prefix.
        {L"\\\\", L"\\\\?\\\\\\"},
        {L"", L"\\\\?\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(LongPath(c.path), c.expected) << test::Utf8(c.path);
}

TEST(PathsTest, RootsAndNetworkDepth) {
    const struct {
        const wchar_t* path;
        const wchar_t* root;
        int depth;
    } cases[] = {
        {L"C:", L"", 0},
        {L"C:\\x", L"C:\\", 0},
        {L"C:\\", L"C:\\", 0},
        {L"\\\\srv", L"", 1},
        {L"\\\\srv\\sh", L"\\\\srv\\sh\\", 2},
        {L"\\\\srv\\sh\\", L"\\\\srv\\sh\\", 3},
        {L"\\\\srv\\sh\\dir\\sub", L"\\\\srv\\sh\\", 3},
        {L"relative\\dir", L"", 0},
        {L"", L"", 0},
        {L"\\\\\\\\\\\\", L"\\\\\\\\", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathRoot(c.path), c.root) << test::Utf8(c.path);
        EXPECT_EQ(UncDepth(c.path), c.depth) << test::Utf8(c.path);
    }
    EXPECT_TRUE(IsUncPath(L"\\\\"));
    EXPECT_FALSE(IsUncPath(L"\\"));
}

TEST(PathsTest, SplitKeepsSeparatorsAndDots) {
    const PathParts parts = SplitPath(L"C:\\dir\\sub\\name.tar.gz");
    EXPECT_EQ(parts.drive, L"C:");
    EXPECT_EQ(parts.directory, L"\\dir\\sub\\");
    EXPECT_EQ(parts.baseName, L"name.tar");
    EXPECT_EQ(parts.extension, L".gz");

    EXPECT_EQ(FolderOf(L"C:\\dir\\file.txt", true), L"C:\\dir");
    EXPECT_EQ(FolderOf(L"C:\\file.txt", true), L"C:\\");
    EXPECT_EQ(FileNameOf(L"\\\\srv\\sh\\a.b"), L"a.b");
    EXPECT_EQ(FolderAndName(L"dir\\x").first, L"dir\\");

    SetEnvironmentVariableW(L"TANDREL_TOOL", L"C:\\Tools\\WinMergeU.exe");
    EXPECT_EQ(BaseNameOf(L"%TANDREL_TOOL%"), L"WinMergeU");
    EXPECT_EQ(BaseNameOf(L""), L"");
    SetEnvironmentVariableW(L"TANDREL_TOOL", nullptr);

    EXPECT_EQ(FileNameOf(ModulePath()), L"platform_tests.exe");
    EXPECT_EQ(ModuleFolder().back(), L'\\');
}

TEST(PathsTest, CreatesEveryMissingFolder) {
    TempDir temp;
    const std::wstring deep = temp / L"a\\b\\c";
    EXPECT_TRUE(CreateDirectoryTree(deep));
    EXPECT_TRUE(IsDirectory(deep));
    // Existing folders and a trailing backslash are fine.
    EXPECT_TRUE(CreateDirectoryTree(temp / L"a\\b\\d\\"));
    EXPECT_TRUE(IsDirectory(temp / L"a\\b\\d"));

    ASSERT_TRUE(test::WriteBytes(temp / L"file", "x"));
    EXPECT_FALSE(CreateDirectoryTree(temp / L"file\\sub"));
    EXPECT_FALSE(IsDirectory(temp / L"file"));
}

TEST(PathsTest, NetworkPathsWithoutFolderPartGiveFalse) {
    for (const wchar_t* path : {L"\\\\srv", L"\\\\srv\\sh", L"\\\\srv\\sh\\", L"\\\\\\\\\\x", L"\\\\srv\\\\x"}) {
        EXPECT_FALSE(CreateDirectoryTree(path)) << test::Utf8(path);
    }
    // Below the share the walk starts, and fails on a server that is not there.
    EXPECT_FALSE(CreateDirectoryTree(L"\\\\tandrel-no-such-server\\share\\dir"));
}

TEST(PathsTest, BadInputGivesDefinedResults) {
    const std::wstring huge = L"C:\\" + std::wstring(32000, L'x');
    EXPECT_EQ(LongPath(huge).size(), huge.size() + 4);
    EXPECT_EQ(PathRoot(huge), L"C:\\");
    EXPECT_EQ(FileNameOf(huge).size(), 32000u);
    EXPECT_FALSE(IsDirectory(huge));
    std::wstring hugeTree = L"Q:";
    while (hugeTree.size() < 32000) hugeTree += L"\\" + std::wstring(200, L'y');
    EXPECT_FALSE(CreateDirectoryTree(hugeTree));

    const std::wstring slashes(300, L'\\');
    EXPECT_FALSE(CreateDirectoryTree(slashes));
    EXPECT_FALSE(IsDirectory(slashes));
    EXPECT_EQ(FileNameOf(slashes), L"");

    EXPECT_FALSE(CreateDirectoryTree(L""));
    EXPECT_FALSE(CreateDirectoryTree(L"C:\\"));
    EXPECT_FALSE(IsDirectory(L""));
    EXPECT_EQ(FolderOf(L"", true), L"");
}

}  // namespace
}  // namespace tandrel
