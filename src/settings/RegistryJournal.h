#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tandrel::registry {

// Every change of the registry profile goes through these, below
// HKEY_CURRENT_USER. While a Scope is open on the profile root that a path
// lies under, each change first records what it replaces, so that a save
// that fails half-way can put the profile back as it found it.

// An open registry key, closed when it goes.
class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool Open(HKEY root, const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(root, path.c_str(), 0, access, &key_) == ERROR_SUCCESS;
    }
    // Below HKEY_CURRENT_USER, with the parents it lacks.
    LSTATUS Create(const std::wstring& path) {
        return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Sets a value, making the key (and its missing parents) first.
LSTATUS SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size);
LSTATUS DeleteValue(const std::wstring& path, const std::wstring& name);
// The key with everything below it.
LSTATUS DeleteTree(const std::wstring& path);

// An undo log for one profile root (the registry side of a multi-value
// save). Scopes nest; the outermost Commit forgets the log; a Scope ended
// without Commit, or one whose inner scope was, puts back every change made
// since the outermost one opened. The log is kept beside the profile
// (<root>.journal) while the scope is open: a change that cannot be logged
// is not made, and the log of a process that died is put back when the next
// outermost scope opens, or by Recover.
class Scope {
public:
    explicit Scope(const std::wstring& root);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    bool Commit();

private:
    std::wstring root_;
    bool open_ = true;
};

// Puts back the log a process that died in a save left; false when some of
// it could not be put back.
bool Recover(const std::wstring& root);
// The first failure to put a change back since last asked, or 0: the
// profile may then hold half a save, which the user is to be told.
LSTATUS TakeRollbackError();

// A stand-in for the registry in tests: asked before each value is set or
// deleted, also when a change is put back; a non-zero system error code
// fails that change.
void SetWriteFault(std::function<LSTATUS(const std::wstring& path, const std::wstring& name)> fault);

}  // namespace tandrel::registry
