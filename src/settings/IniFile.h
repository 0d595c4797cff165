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
// new file beside the old one (<name>.<pid>-<n>.tmp), flushed, marked
// complete by its name (.new) and renamed over the old one in one step, so
// that a reader, a crash or a full disk leaves the old file or the new one.
// A read that finds no file but a complete new one of a save that did not
// finish puts that one in place. Files keep the encoding they were read in
// (a UTF-16 file without its mark gets one); a new file is UTF-16.

// How a file's bytes are text: by its mark, by its zero bytes (UTF-16
// without a mark), as UTF-8 when they hold multi-byte UTF-8 and nothing
// else, else the ANSI code page. An empty file is a new one, UTF-16.
enum class Encoding { Utf16, Utf16BigEndian, Utf16Unmarked, Utf16BigEndianUnmarked, Utf8, Ansi, Utf8Unmarked };

using Entries = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;

std::optional<std::wstring> Read(const std::wstring& path, const std::wstring& section, const std::wstring& key);
Entries ReadSection(const std::wstring& path, const std::wstring& section);
std::vector<std::wstring> SectionNames(const std::wstring& path);
// 0 when the file is there and could be read, ERROR_FILE_NOT_FOUND when
// there is no file (its folder exists), else the system error that kept it
// from being read: such a file is never written over.
unsigned long ReadError(const std::wstring& path);
// The encoding of a file that could be read.
std::optional<Encoding> EncodingOf(const std::wstring& path);

// Applies change, which tells whether it changed anything, and writes the
// file unless a batch is open on it. False when the file could not be read
// before or not be written: the user is told, or, given error, the system's
// error code is handed back there instead. With existing, the file was there
// when it was read: one missing now (an editor replacing it) is not made
// anew from nothing, which would hold none of its settings.
bool Change(const std::wstring& path, const std::function<bool(IniDocument&)>& change,
            unsigned long* error = nullptr, bool existing = false);
// Starts the file anew as an empty UTF-16 file, or, without empty, only
// when it does not exist yet. Failures as for Change.
bool Create(const std::wstring& path, bool empty, unsigned long* error = nullptr);
// Writes a file that could be read again in another encoding, every line
// as it was.
bool Reencode(const std::wstring& path, Encoding encoding);

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
    // Failures as for Change.
    bool Commit(unsigned long* error = nullptr);

private:
    std::wstring path_;    // as the user named it
    std::wstring system_;  // as the cache knows it
    bool open_ = true;
};

// The full path of a name ("..", "/" and relative names resolved); a
// "\\?\" name stays as it is.
std::wstring NormalisedPath(const std::wstring& path);

// Stand-ins for the disk in tests, asked with the settings file's path. A
// non-zero system error code from the write fault fails a write after half
// the new file is written; one from the place fault fails the rename that
// puts the complete new file in place.
void SetWriteFault(std::function<unsigned long(const std::wstring& path)> fault);
void SetPlaceFault(std::function<unsigned long(const std::wstring& path)> fault);
// One from the create fault refuses the new file beside the settings file.
void SetCreateFault(std::function<unsigned long(const std::wstring& path)> fault);

}  // namespace tandrel::ini

namespace tandrel {

// Message 63210: the settings file cannot be opened or written.
void ReportIniFileError(const std::wstring& file, unsigned long error);

}  // namespace tandrel
