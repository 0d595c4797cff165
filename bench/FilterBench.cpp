// Times the target filters on a long list: a list of N wildcard entries
// over M paths, for file names and for folder paths.
//   filter_bench [entries] [paths]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/TargetFilter.h"

using namespace tandrel;

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int entries = argc > 1 ? _wtoi(argv[1]) : 2000;
    const int paths = argc > 2 ? _wtoi(argv[2]) : 10000;
    std::wstring fileList, folderList;
    for (int i = 0; i < entries; ++i) {
        // Entries as exclusion lists hold them: an extension, a folder anywhere.
        fileList += L"*.x" + std::to_wstring(i) + L";";
        folderList += L"*\\cache" + std::to_wstring(i) + L";";
    }
    std::vector<std::wstring> files, folders;
    for (int i = 0; i < paths; ++i) {
        files.push_back(L"project\\src\\module" + std::to_wstring(i % 97) + L"\\file" + std::to_wstring(i) + L".cpp");
        folders.push_back(L"project\\src\\module" + std::to_wstring(i % 97) + L"\\part" + std::to_wstring(i));
    }

    LARGE_INTEGER t0, t1, t2, t3;
    QueryPerformanceCounter(&t0);
    TargetMatcher fileMatcher, folderMatcher;
    if (!BuildFileList(fileMatcher, fileList) || !BuildFolderList(folderMatcher, folderList, false)) {
        std::printf("the lists could not be built\n");
        return 1;
    }
    QueryPerformanceCounter(&t1);
    int listed = 0;
    for (const std::wstring& file : files) listed += MatchFile(fileMatcher, file, ListMode::Exclude) == FilterOutcome::Excluded;
    QueryPerformanceCounter(&t2);
    for (const std::wstring& folder : folders) {
        listed += MatchFolder(folderMatcher, folder, ListMode::Exclude) == FilterOutcome::Excluded;
    }
    QueryPerformanceCounter(&t3);
    std::printf("%d entries, %d paths: build %.0f ms, files %.0f ms (%.3f ms each), folders %.0f ms (%.3f ms each), %d listed\n",
                entries, paths, Milliseconds(t0, t1), Milliseconds(t1, t2), Milliseconds(t1, t2) / paths,
                Milliseconds(t2, t3), Milliseconds(t2, t3) / paths, listed);
    return 0;
}
