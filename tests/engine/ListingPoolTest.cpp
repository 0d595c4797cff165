// The listing pool under a wide folder and a read that hangs.
#include <gtest/gtest.h>

#include <atomic>

#include "StagedFaults.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::FileExists;
using test::MakeFolders;
using test::Pair;
using test::ReadBytes;
using test::StagedFaults;
using test::TempDir;
using test::WaitUntil;
using test::WriteBytes;

TEST(ListingPoolTest, AWideFolderQueuesABoundedNumberAndEveryListingIsStillRight) {
    TempDir temp;
    std::vector<std::wstring> folders;
    for (int i = 0; i < 100; ++i) {
        const std::wstring folder = temp / (L"d" + std::to_wstring(i) + L"\\");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(folder + L"f" + std::to_wstring(i), ""));
        folders.push_back(folder);
    }
    ListingPool pool(2, 4, 16);
    pool.Ahead(folders);
    EXPECT_LE(pool.queued(), 16u);
    // The first asked are kept, the last forgotten: both read right.
    for (const int i : {0, 1, 99, 50}) {
        FolderListing listing;
        ASSERT_TRUE(pool.Take(folders[static_cast<size_t>(i)], listing));
        ASSERT_TRUE(listing.ok()) << i;
        ASSERT_EQ(listing.entries().size(), 1u) << i;
        EXPECT_EQ(listing.entries()[0].name, L"f" + std::to_wstring(i));
    }

    // A run through a folder wider than what is asked ahead at once.
    const std::wstring m = temp / L"m", b = temp / L"b";
    for (int i = 0; i < 150; ++i) {
        const std::wstring name = L"s" + std::to_wstring(i);
        MakeFolders(temp.Path(), {(L"m\\" + name).c_str()});
        WriteBytes(m + L"\\" + name + L"\\x.txt", "x");
    }
    MakeFolders(temp.Path(), {L"b\\s7", L"b\\s120"});
    WriteBytes(b + L"\\s120\\old.txt", "old");
    Batch run;
    run.settings = {Pair(m, b)};
    run.Run(false);
    EXPECT_EQ(run.settings[0].status.created, 150);
    EXPECT_EQ(run.settings[0].status.deleted, 1);
    EXPECT_EQ(run.settings[0].Errors, 0);
    for (const int i : {0, 7, 63, 64, 96, 120, 149}) {
        EXPECT_EQ(ReadBytes(b + L"\\s" + std::to_wstring(i) + L"\\x.txt"), "x") << i;
    }
    EXPECT_FALSE(FileExists(b + L"\\s120\\old.txt"));
}

// A seam whose listing of one folder hangs, as a share that stops
// answering, until the test lets it go.
class HangingRead : public StagedFaults {
public:
    explicit HangingRead(std::wstring folder) : folder_(std::move(folder)), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void Reading(const std::wstring& folder) override {
        if (!EqualsNoCase(folder, folder_)) return;
        hanging = true;
        if (onHang) onHang();
        WaitForSingleObject(release_.Get(), INFINITE);
        hanging = false;
    }
    void Release() { SetEvent(release_.Get()); }
    std::function<void()> onHang;
    std::atomic<bool> hanging{false};

private:
    const std::wstring folder_;
    UniqueHandle release_;
};

TEST(ListingPoolTest, AbortEndsTheRunWhileAListingHangs) {
    // The root: the walk waits for that listing. A sub-folder: read ahead,
    // and the passes end without waiting for it.
    for (const bool root : {true, false}) {
        SCOPED_TRACE(root ? "root" : "read ahead");
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        MakeFolders(temp.Path(), {L"m\\a", L"m\\b", L"m\\c", L"b"});
        for (const wchar_t* file : {L"m\\a\\1.txt", L"m\\b\\2.txt", L"m\\c\\3.txt", L"m\\root.txt"}) {
            WriteBytes(temp / file, "x");
        }
        Batch run;
        run.settings = {Pair(m, b)};
        const std::wstring hung = root ? m + L"\\" : m + L"\\b\\";
        HangingRead faults(hung);
        // 中止 is chosen once the read hangs.
        faults.onHang = [&] { run.batch.cancelRequested = true; };
        std::atomic<bool> listed{false};
        faults.listed = [&](const std::wstring& folder, std::vector<FindEntry>&) {
            if (EqualsNoCase(folder, hung)) listed = true;
        };
        run.Run(false);
        // The run is over while the read still hangs.
        EXPECT_TRUE(faults.hanging);
        EXPECT_EQ(run.batch.result, 0);
        EXPECT_EQ(run.settings[0].Errors, 0);
        EXPECT_FALSE(FileExists(b + L"\\b\\2.txt"));
        EXPECT_FALSE(FileExists(b + L"\\c\\3.txt"));
        EXPECT_TRUE(!root || !FileExists(b + L"\\root.txt"));
        // Let the read end; its thread leaves the seam for good once the
        // seam's lock is free after its last call.
        faults.Release();
        EXPECT_TRUE(WaitUntil([&] { return listed.load(); }));
        InjectedFault(FaultPoint::Check, m);
    }
}

}  // namespace
}  // namespace tandrel
