#pragma once
// Faults staged through the engine's seam, and small helpers of the tests
// that stage them.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/Executor.h"
#include "engine/FaultSeam.h"
#include "EngineRun.h"
#include "platform/Paths.h"

namespace tandrel::test {

// Installs itself as the engine's fault seam for as long as it lives.
class StagedFaults : public FaultSeam {
public:
    StagedFaults() { SetFaultSeam(this); }
    ~StagedFaults() override { SetFaultSeam(nullptr); }
    DWORD Fail(FaultPoint point, const std::wstring& path) override {
        const int seen = ++calls[{point, FoldCase(path)}];
        if (point == FaultPoint::Copy) copyThreads.insert(GetCurrentThreadId());
        return fail ? fail(point, path, seen) : 0;
    }
    void Listed(const std::wstring& folder, std::vector<FindEntry>& entries) override {
        if (listed) listed(folder, entries);
    }
    void Carried(const Operation& operation) override {
        carried.push_back(std::to_wstring(static_cast<int>(operation.kind)) + L" " + operation.path + L" < " +
                          operation.source + L" " + operation.name);
    }
    std::wstring ShortNameHolder(const std::wstring& path) override {
        const auto held = shortNames.find(FoldCase(path));
        return held == shortNames.end() ? std::wstring() : held->second;
    }
    // Short (8.3) names a volume would have made: the path, in upper case,
    // of the name, and the long name of the entry in that folder that holds it.
    std::map<std::wstring, std::wstring> shortNames;
    // The point, the path and how often the point met that path so far.
    std::function<DWORD(FaultPoint, const std::wstring&, int)> fail;
    std::function<void(const std::wstring&, std::vector<FindEntry>&)> listed;
    std::map<std::pair<FaultPoint, std::wstring>, int> calls;
    // The operations carried out (a test run: reported), in order.
    std::vector<std::wstring> carried;
    // The threads that copied files.
    std::set<DWORD> copyThreads;
};

// Names of partial copies anywhere below a folder.
inline std::vector<std::wstring> Partials(const std::wstring& folder) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                for (const std::wstring& inner : Partials(folder + L"\\" + name)) found.push_back(name + L"\\" + inner);
            }
        } else if (IsPartialCopyName(name)) {
            found.push_back(name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

inline bool HasRow(const Batch& run, const std::wstring& prefix) {
    for (const std::wstring& row : run.host.RowTexts()) {
        if (row.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

inline int CountRows(const Batch& run, const std::wstring& action) {
    int n = 0;
    for (const ReportRow& row : run.host.rows) n += RowActionText(row.action) == action;
    return n;
}

}  // namespace tandrel::test
