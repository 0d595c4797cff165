#include "settings/RegistryJournal.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "settings/IniDocument.h"

namespace tandrel::registry {

namespace {

struct SavedValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct SavedKey {
    std::wstring path;
    std::vector<SavedValue> values;
};

// What one change replaced.
struct Undo {
    enum Kind { Value, NewKey, Tree } kind = Value;
    std::wstring path;
    std::wstring name;
    std::optional<SavedValue> before;  // Value: none when there was none
    std::vector<SavedKey> tree;        // Tree: the keys as they were, parents first
};

struct Journal {
    int depth = 0;
    bool failed = false;
    std::vector<Undo> undo;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

// Folded profile root -> its journal while a scope is open.
std::map<std::wstring, Journal>& Journals() {
    static std::map<std::wstring, Journal> journals;
    return journals;
}

std::function<LSTATUS(const std::wstring&, const std::wstring&)>& Fault() {
    static std::function<LSTATUS(const std::wstring&, const std::wstring&)> fault;
    return fault;
}

// The open journal whose root holds path.
Journal* JournalOf(const std::wstring& path) {
    const std::wstring folded = FoldName(path);
    for (auto& [root, journal] : Journals()) {
        if (journal.depth > 0 && folded.rfind(root, 0) == 0 &&
            (folded.size() == root.size() || folded[root.size()] == L'\\'))
            return &journal;
    }
    return nullptr;
}

std::optional<SavedValue> ReadValue(HKEY key, const std::wstring& name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    SavedValue value{name, type, std::vector<BYTE>(size)};
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

// A key and everything below it, parents before their subkeys.
void Capture(const std::wstring& path, std::vector<SavedKey>& keys) {
    Key key;
    if (!key.Open(HKEY_CURRENT_USER, path, KEY_READ)) return;
    SavedKey saved{path, {}};
    std::vector<wchar_t> name(32768);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (std::optional<SavedValue> value = ReadValue(key.Get(), std::wstring(name.data(), length)))
            saved.values.push_back(std::move(*value));
    }
    keys.push_back(std::move(saved));
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), length);
    }
    for (const std::wstring& sub : subkeys) Capture(path + L"\\" + sub, keys);
}

void PutBack(const Undo& undo) {
    switch (undo.kind) {
        case Undo::Value:
            if (undo.before) {
                RegSetKeyValueW(HKEY_CURRENT_USER, undo.path.c_str(), undo.name.c_str(), undo.before->type,
                                undo.before->data.data(), static_cast<DWORD>(undo.before->data.size()));
            } else {
                RegDeleteKeyValueW(HKEY_CURRENT_USER, undo.path.c_str(), undo.name.c_str());
            }
            break;
        case Undo::NewKey:
            RegDeleteTreeW(HKEY_CURRENT_USER, undo.path.c_str());
            break;
        case Undo::Tree:
            for (const SavedKey& key : undo.tree) {
                Key made;
                if (made.Create(key.path) != ERROR_SUCCESS) continue;
                for (const SavedValue& v : key.values)
                    RegSetValueExW(made.Get(), v.name.c_str(), 0, v.type, v.data.data(),
                                   static_cast<DWORD>(v.data.size()));
            }
            break;
    }
}

// Records the value as it is before a change.
void RecordValue(Journal& journal, const std::wstring& path, const std::wstring& name) {
    Undo undo{Undo::Value, path, name, std::nullopt, {}};
    Key key;
    if (key.Open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE)) undo.before = ReadValue(key.Get(), name);
    journal.undo.push_back(std::move(undo));
}

// Records the outermost key of path that does not exist yet.
void RecordNewKeys(Journal& journal, const std::wstring& path) {
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        const std::wstring prefix = path.substr(0, end);
        Key key;
        if (!key.Open(HKEY_CURRENT_USER, prefix, KEY_QUERY_VALUE)) {
            journal.undo.push_back({Undo::NewKey, prefix, L"", std::nullopt, {}});
            return;
        }
        if (end == std::wstring::npos) return;
    }
}

// Deleting what is not there succeeds.
LSTATUS Absent(LSTATUS error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

LSTATUS Faulted(const std::wstring& path, const std::wstring& name) {
    return Fault() ? Fault()(path, name) : ERROR_SUCCESS;
}

}  // namespace

LSTATUS SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, name)) return fault;
    if (Journal* journal = JournalOf(path)) {
        RecordNewKeys(*journal, path);
        RecordValue(*journal, path, name);
    }
    Key key;
    if (const LSTATUS error = key.Create(path)) return error;
    return RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

LSTATUS DeleteValue(const std::wstring& path, const std::wstring& name) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, name)) return fault;
    if (Journal* journal = JournalOf(path)) RecordValue(*journal, path, name);
    return Absent(RegDeleteKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str()));
}

LSTATUS DeleteTree(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, L"")) return fault;
    if (Journal* journal = JournalOf(path)) {
        Undo undo{Undo::Tree, path, L"", std::nullopt, {}};
        Capture(path, undo.tree);
        if (!undo.tree.empty()) journal->undo.push_back(std::move(undo));
    }
    return Absent(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()));
}

Scope::Scope(const std::wstring& root) : root_(FoldName(root)) {
    std::lock_guard<std::mutex> lock(Lock());
    ++Journals()[root_].depth;
}

Scope::~Scope() {
    if (!open_) return;
    std::lock_guard<std::mutex> lock(Lock());
    Journal& journal = Journals()[root_];
    journal.failed = true;
    if (--journal.depth > 0) return;
    for (auto undo = journal.undo.rbegin(); undo != journal.undo.rend(); ++undo) PutBack(*undo);
    Journals().erase(root_);
}

bool Scope::Commit() {
    if (!open_) return false;
    open_ = false;
    std::lock_guard<std::mutex> lock(Lock());
    Journal& journal = Journals()[root_];
    if (--journal.depth > 0) return !journal.failed;
    const bool ok = !journal.failed;
    if (!ok) {
        for (auto undo = journal.undo.rbegin(); undo != journal.undo.rend(); ++undo) PutBack(*undo);
    }
    Journals().erase(root_);
    return ok;
}

void SetWriteFault(std::function<LSTATUS(const std::wstring& path, const std::wstring& name)> fault) {
    std::lock_guard<std::mutex> lock(Lock());
    Fault() = std::move(fault);
}

}  // namespace tandrel::registry
