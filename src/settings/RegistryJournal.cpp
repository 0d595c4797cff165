#include "settings/RegistryJournal.h"

#include <algorithm>
#include <cstdio>
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
    std::wstring key;  // where the log is kept while the scope is open
    std::vector<Undo> undo;
};

// The log of an open scope is kept beside the profile, one value per
// change, so that a save cut short by a kill is put back by the next start.
std::wstring JournalKey(const std::wstring& root) {
    return root + L".journal";
}

void Put(std::vector<BYTE>& out, DWORD value) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

void Put(std::vector<BYTE>& out, const std::vector<BYTE>& data) {
    Put(out, static_cast<DWORD>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

void Put(std::vector<BYTE>& out, const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    Put(out, std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t)));
}

void Put(std::vector<BYTE>& out, const SavedValue& value) {
    Put(out, value.name);
    Put(out, value.type);
    Put(out, value.data);
}

// Reads back what Put wrote; any shortfall leaves ok false.
class Reader {
public:
    explicit Reader(const std::vector<BYTE>& data) : data_(data) {}
    bool ok = true;
    DWORD Number() {
        DWORD value = 0;
        if (!Has(sizeof value)) return 0;
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(at_), sizeof value, reinterpret_cast<BYTE*>(&value));
        at_ += sizeof value;
        return value;
    }
    std::vector<BYTE> Bytes() {
        const DWORD size = Number();
        if (!Has(size)) return {};
        std::vector<BYTE> bytes(data_.begin() + static_cast<std::ptrdiff_t>(at_),
                                data_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
        at_ += size;
        return bytes;
    }
    std::wstring Text() {
        const std::vector<BYTE> bytes = Bytes();
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(text.size() * sizeof(wchar_t)),
                  reinterpret_cast<BYTE*>(text.data()));
        return text;
    }
    SavedValue Value() {
        SavedValue value;
        value.name = Text();
        value.type = Number();
        value.data = Bytes();
        return value;
    }

private:
    bool Has(size_t size) {
        ok = ok && at_ + size <= data_.size();
        return ok;
    }
    const std::vector<BYTE>& data_;
    size_t at_ = 0;
};

std::vector<BYTE> Serialise(const Undo& undo) {
    std::vector<BYTE> out;
    Put(out, static_cast<DWORD>(undo.kind));
    Put(out, undo.path);
    Put(out, undo.name);
    Put(out, undo.before ? 1u : 0u);
    if (undo.before) Put(out, *undo.before);
    Put(out, static_cast<DWORD>(undo.tree.size()));
    for (const SavedKey& key : undo.tree) {
        Put(out, key.path);
        Put(out, static_cast<DWORD>(key.values.size()));
        for (const SavedValue& value : key.values) Put(out, value);
    }
    return out;
}

std::optional<Undo> Deserialise(const std::vector<BYTE>& data) {
    Reader in(data);
    Undo undo;
    const DWORD kind = in.Number();
    if (kind > Undo::Tree) return std::nullopt;
    undo.kind = static_cast<Undo::Kind>(kind);
    undo.path = in.Text();
    undo.name = in.Text();
    if (in.Number()) undo.before = in.Value();
    const DWORD keys = in.Number();
    for (DWORD k = 0; in.ok && k < keys; ++k) {
        SavedKey key{in.Text(), {}};
        const DWORD values = in.Number();
        for (DWORD v = 0; in.ok && v < values; ++v) key.values.push_back(in.Value());
        undo.tree.push_back(std::move(key));
    }
    if (!in.ok) return std::nullopt;
    return undo;
}

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

// Deleting what is not there succeeds.
LSTATUS Absent(LSTATUS error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

LSTATUS Faulted(const std::wstring& path, const std::wstring& name) {
    return Fault() ? Fault()(path, name) : ERROR_SUCCESS;
}

// Puts back what one change replaced; the first failure, if any.
LSTATUS PutBack(const Undo& undo) {
    if (const LSTATUS fault = Faulted(undo.path, undo.name)) return fault;
    LSTATUS error = ERROR_SUCCESS;
    switch (undo.kind) {
        case Undo::Value:
            if (undo.before) {
                error = RegSetKeyValueW(HKEY_CURRENT_USER, undo.path.c_str(), undo.name.c_str(), undo.before->type,
                                        undo.before->data.data(), static_cast<DWORD>(undo.before->data.size()));
            } else {
                error = Absent(RegDeleteKeyValueW(HKEY_CURRENT_USER, undo.path.c_str(), undo.name.c_str()));
            }
            break;
        case Undo::NewKey:
            error = Absent(RegDeleteTreeW(HKEY_CURRENT_USER, undo.path.c_str()));
            break;
        case Undo::Tree:
            for (const SavedKey& key : undo.tree) {
                Key made;
                if (const LSTATUS madeError = made.Create(key.path)) {
                    if (!error) error = madeError;
                    continue;
                }
                for (const SavedValue& v : key.values) {
                    const LSTATUS set = RegSetValueExW(made.Get(), v.name.c_str(), 0, v.type, v.data.data(),
                                                       static_cast<DWORD>(v.data.size()));
                    if (!error) error = set;
                }
            }
            break;
    }
    return error;
}

// Puts back a whole log, newest change first, and forgets it; the first
// failure, if any.
LSTATUS PutBackAll(const std::vector<Undo>& undo, const std::wstring& key) {
    LSTATUS error = ERROR_SUCCESS;
    for (auto u = undo.rbegin(); u != undo.rend(); ++u) {
        const LSTATUS put = PutBack(*u);
        if (!error) error = put;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    return error;
}

// The log a process that died left beside the profile.
std::optional<std::vector<Undo>> LeftLog(const std::wstring& key) {
    Key log;
    if (!log.Open(HKEY_CURRENT_USER, key, KEY_READ)) return std::nullopt;
    std::map<std::wstring, std::vector<BYTE>> records;  // by number, in order
    std::vector<wchar_t> name(256);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size()), size = 0, type = 0;
        if (RegEnumValueW(log.Get(), i, name.data(), &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::optional<SavedValue> value = ReadValue(log.Get(), std::wstring(name.data(), length));
        if (value) records[value->name] = std::move(value->data);
    }
    std::vector<Undo> undo;
    for (const auto& [number, data] : records) {
        if (std::optional<Undo> record = Deserialise(data)) undo.push_back(std::move(*record));
    }
    return undo;
}

LSTATUS& RollbackError() {
    static LSTATUS error = ERROR_SUCCESS;
    return error;
}

// Keeps the first failed put-back for the caller to tell.
void NoteRollback(LSTATUS error) {
    if (error && !RollbackError()) RollbackError() = error;
}

// Adds a change to the log, in memory and beside the profile; a change
// that could not be logged is not made.
LSTATUS Record(Journal& journal, Undo undo) {
    const std::vector<BYTE> data = Serialise(undo);
    wchar_t number[16];
    swprintf(number, 16, L"%08zu", journal.undo.size());
    const LSTATUS error = RegSetKeyValueW(HKEY_CURRENT_USER, journal.key.c_str(), number, REG_BINARY, data.data(),
                                          static_cast<DWORD>(data.size()));
    if (error == ERROR_SUCCESS) journal.undo.push_back(std::move(undo));
    return error;
}

// Records the value as it is before a change.
LSTATUS RecordValue(Journal& journal, const std::wstring& path, const std::wstring& name) {
    Undo undo{Undo::Value, path, name, std::nullopt, {}};
    Key key;
    if (key.Open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE)) undo.before = ReadValue(key.Get(), name);
    return Record(journal, std::move(undo));
}

// Records the outermost key of path that does not exist yet.
LSTATUS RecordNewKeys(Journal& journal, const std::wstring& path) {
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        const std::wstring prefix = path.substr(0, end);
        Key key;
        if (!key.Open(HKEY_CURRENT_USER, prefix, KEY_QUERY_VALUE))
            return Record(journal, {Undo::NewKey, prefix, L"", std::nullopt, {}});
        if (end == std::wstring::npos) return ERROR_SUCCESS;
    }
}


}  // namespace

LSTATUS SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, name)) return fault;
    if (Journal* journal = JournalOf(path)) {
        if (const LSTATUS error = RecordNewKeys(*journal, path)) return error;
        if (const LSTATUS error = RecordValue(*journal, path, name)) return error;
    }
    Key key;
    if (const LSTATUS error = key.Create(path)) return error;
    return RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

LSTATUS DeleteValue(const std::wstring& path, const std::wstring& name) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, name)) return fault;
    if (Journal* journal = JournalOf(path)) {
        if (const LSTATUS error = RecordValue(*journal, path, name)) return error;
    }
    return Absent(RegDeleteKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str()));
}

LSTATUS DeleteTree(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(Lock());
    if (const LSTATUS fault = Faulted(path, L"")) return fault;
    if (Journal* journal = JournalOf(path)) {
        Undo undo{Undo::Tree, path, L"", std::nullopt, {}};
        Capture(path, undo.tree);
        if (!undo.tree.empty()) {
            if (const LSTATUS error = Record(*journal, std::move(undo))) return error;
        }
    }
    return Absent(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()));
}

Scope::Scope(const std::wstring& root) : root_(FoldName(root)) {
    std::lock_guard<std::mutex> lock(Lock());
    Journal& journal = Journals()[root_];
    if (journal.depth++ > 0) return;
    // What a process that died in a save left is put back first.
    journal.key = JournalKey(root);
    if (std::optional<std::vector<Undo>> left = LeftLog(journal.key)) NoteRollback(PutBackAll(*left, journal.key));
}

Scope::~Scope() {
    if (!open_) return;
    std::lock_guard<std::mutex> lock(Lock());
    Journal& journal = Journals()[root_];
    journal.failed = true;
    if (--journal.depth > 0) return;
    NoteRollback(PutBackAll(journal.undo, journal.key));
    Journals().erase(root_);
}

bool Scope::Commit() {
    if (!open_) return false;
    open_ = false;
    std::lock_guard<std::mutex> lock(Lock());
    Journal& journal = Journals()[root_];
    if (--journal.depth > 0) return !journal.failed;
    const bool ok = !journal.failed;
    if (ok) {
        RegDeleteTreeW(HKEY_CURRENT_USER, journal.key.c_str());
    } else {
        NoteRollback(PutBackAll(journal.undo, journal.key));
    }
    Journals().erase(root_);
    return ok;
}

bool Recover(const std::wstring& root) {
    std::lock_guard<std::mutex> lock(Lock());
    const std::wstring key = JournalKey(root);
    std::optional<std::vector<Undo>> left = LeftLog(key);
    if (!left) return true;
    const LSTATUS error = PutBackAll(*left, key);
    NoteRollback(error);
    return error == ERROR_SUCCESS;
}

LSTATUS TakeRollbackError() {
    std::lock_guard<std::mutex> lock(Lock());
    return std::exchange(RollbackError(), ERROR_SUCCESS);
}

void SetWriteFault(std::function<LSTATUS(const std::wstring& path, const std::wstring& name)> fault) {
    std::lock_guard<std::mutex> lock(Lock());
    Fault() = std::move(fault);
}

}  // namespace tandrel::registry
