#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/IniDocument.h"

namespace tandrel::ini {

// Settings files are held in memory, one document per file, read again only
// when the file changed on disk since. Every change is written as a whole
// new file beside the old one, flushed, and then put in its place, so that
// a reader, a crash or a full disk leaves the old file or the new one.
// UTF-16 files (FF FE) stay UTF-16, files without a mark stay in the ANSI
// code page; a new file is UTF-16.

using Entries = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;

std::optional<std::wstring> Read(const std::wstring& path, const std::wstring& section, const std::wstring& key);
Entries ReadSection(const std::wstring& path, const std::wstring& section);
std::vector<std::wstring> SectionNames(const std::wstring& path);
// 0 when the file is there and could be read, else the system error code
// (ERROR_FILE_NOT_FOUND for a missing file).
unsigned long ReadError(const std::wstring& path);

// Applies change, which tells whether it changed anything, and writes the
// file unless a batch is open on it. False, after telling the user, when the
// file could not be read before or not be written.
bool Change(const std::wstring& path, const std::function<bool(IniDocument&)>& change);
// Starts the file anew as an empty UTF-16 file, or, without empty, only
// when it does not exist yet.
bool Create(const std::wstring& path, bool empty);

// Holds back the writes to one file until Commit, which writes them in one
// go; batches nest, and the outermost writes. A batch ended without Commit,
// or one whose inner batch was, throws its changes away: the file stays as
// it was, and the next read sees the file again.
class Batch {
public:
    explicit Batch(std::wstring path);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    bool Commit();

private:
    std::wstring path_;    // as the user named it
    std::wstring system_;  // as the cache knows it
    bool open_ = true;
};

// The full path of a name ("..", "/" and relative names resolved); a
// "\\?\" name stays as it is.
std::wstring NormalisedPath(const std::wstring& path);

// A stand-in for the disk in tests: called before each file is put in
// place; a non-zero system error code fails that write after half the new
// file is written.
void SetWriteFault(std::function<unsigned long(const std::wstring& path)> fault);

}  // namespace tandrel::ini
