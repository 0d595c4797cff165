// The checks that decide a change: what the backup or master holds of a
// name, read on its own where no listing answered, with the network
// retries of checks and listings.
#include <algorithm>
#include <cwchar>
#include <utility>

#include "engine/FaultSeam.h"
#include "engine/FileOps.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

int FileOps::CheckFolder(const std::wstring& path, KnownEntry known) {
    return Check(path, true, known);
}

int FileOps::CheckFile(const std::wstring& path, KnownEntry known) {
    return Check(path, false, known);
}

int FileOps::Check(const std::wstring& path, bool folder, KnownEntry known) {
    // What a listing answered costs nothing more, unless it is a conflict.
    if (known && (!*known || (((*known)->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder)) {
        if (!*known) return folder ? FolderMissing : FileMissing;
        return folder ? FolderExists : FileExists;
    }
    std::wstring target = path;
    if (folder) {
        // A server alone cannot be asked; its shares are asked instead.
        if (UncDepth(target) == 1) return FolderExists;
        if (target.size() > 3 && target.back() == L'\\') target.pop_back();
    }
    const std::wstring checkName = LoadText(folder ? IDS_CHECK_FOLDER : IDS_CHECK_FILE);
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (known) {
        attributes = (*known)->attributes;
    } else if (const int answer = LookUp(target, folder, checkName, attributes); answer >= 0) {
        return answer;
    }
    const bool isFolder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (isFolder == folder) return folder ? FolderExists : FileExists;
    if (deletePass_ || conflictsLater_) return folder ? FolderIsFile : FileIsFolder;
    // The deletion pass of this setting came first: in a test run it would
    // have made room; in an update run what is still there was kept.
    if (roomReported_) return folder ? FolderMissing : FileMissing;
    return Conflict(target, folder, checkName);
}

int FileOps::LookUp(const std::wstring& target, bool folder, const std::wstring& checkName, DWORD& attributes) {
    const std::wstring title = Format(LoadText(IDS_CHECK_FAILED).c_str(), checkName.c_str());
    NetworkRetries network{checkName, title};
    // An answer the lookup gave without the entry's attributes.
    int answer = -1;
    DWORD error = 0;
    const bool found = Retrying(
        FaultPoint::Check, target,
        [&](DWORD fault) {
            error = fault;
            if (!error) {
                attributes = NamedAttributes(target);
                if (attributes != INVALID_FILE_ATTRIBUTES) return Attempt::Done();
                error = GetLastError();
            }
            const bool notFound = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            if (notFound && deletePass_) {
                // Here "not found" deletes the backup entry: only a listing
                // of the parent folder may say so, never a failed lookup.
                const auto [parentFolder, name] = FolderAndName(target);
                FolderListing parent;
                if (!parent.Read(parentFolder)) {
                    error = parent.error();
                    return Attempt::Stopped();
                }
                const FindEntry* entry = parent.Find(name);
                if (!entry) {
                    answer = folder ? FolderMissing : FileMissing;
                    return Attempt::Stopped();
                }
                attributes = entry->attributes;
                return Attempt::Done();
            }
            if (notFound) answer = folder ? FolderMissing : FileMissing;
            if (folder && error == ERROR_NOT_READY) answer = FolderNotReady;
            return answer >= 0 ? Attempt::Stopped() : Attempt::Failed(error);
        },
        &network);
    if (found || answer >= 0) return answer;
    ReportCheckError(deletePass_ ? LevelSkipped : LevelError,
                     Format(LoadText(IDS_CHECK_BODY).c_str(), checkName.c_str(), network.Text().c_str(),
                            target.c_str(), SystemErrorText(error).c_str()),
                     WithoutFinalBreak(SystemErrorText(error)), title);
    return folder ? FolderCheckError : FileCheckError;
}

void FileOps::ReportConflict(const std::wstring& path, bool folder) {
    Conflict(path, folder, LoadText(folder ? IDS_CHECK_FOLDER : IDS_CHECK_FILE));
}

void FileOps::NoteResolvedByRetry(const NetworkRetries& network, const std::wstring& path) {
    ErrorCall call;
    call.level = LevelNotice;
    call.body = Format(LoadText(IDS_CHECK_BODY).c_str(), network.what.c_str(), network.Text().c_str(), path.c_str(),
                       SystemErrorText(network.error).c_str());
    call.detail = WithoutFinalBreak(SystemErrorText(network.error));
    call.title = network.title;
    call.resolvedByRetry = true;
    policy_.Raise(call);
}

std::wstring FileOps::RetryListing(const std::wstring& folder, FolderListing& listing) {
    if (listing.ok()) return {};
    const std::wstring title = LoadText(IDS_LIST_FAILED);
    NetworkRetries network{title, title};
    // The first attempt is the read that failed already.
    bool first = true;
    Retrying(std::nullopt, folder,
             [&](DWORD) {
                 if (!std::exchange(first, false) && listing.Read(folder)) return Attempt::Done();
                 return Attempt::Failed(listing.error());
             },
             &network);
    return listing.ok() ? std::wstring() : network.Text();
}

int FileOps::Conflict(const std::wstring& path, bool folder, const std::wstring& checkName) {
    const std::wstring text = LoadText(folder ? IDS_FILE_NAMED_LIKE_FOLDER : IDS_FOLDER_NAMED_LIKE_FILE);
    ReportCheckError(deletePass_ ? LevelSkipped : LevelError,
                     Format(LoadText(IDS_CHECK_BODY).c_str(), checkName.c_str(), L"", path.c_str(), text.c_str()), text,
                     Format(LoadText(IDS_CHECK_FAILED).c_str(), checkName.c_str()));
    return folder ? FolderCheckError : FileCheckError;
}

bool NameAccepted(const std::wstring& name) {
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c)) return false;
    }
    return true;
}

bool FileOps::CheckListedName(const std::wstring& folder, const std::wstring& name) {
    // A name from a listing exists, so only its characters can make the
    // system refuse it; no call per entry is needed to learn that.
    return NameAccepted(name) || ReportBadName(folder + name);
}

bool FileOps::ReportBadName(const std::wstring& path) {
    const std::wstring text = LoadText(IDS_BAD_NAME);
    ReportCheckError(LevelError, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), text.c_str()), text, text);
    return false;
}

// The checks inform with an OK box and go on; the error counts either way.
void FileOps::ReportCheckError(int level, const std::wstring& body, const std::wstring& detail,
                               const std::wstring& title) {
    ErrorCall call;
    call.level = level;
    call.body = body;
    call.detail = detail;
    call.title = title;
    call.style = kStyleFatal;
    policy_.Raise(call);
    policy_.CountError();
    policy_.AddErrorRow();
}

}  // namespace tandrel
