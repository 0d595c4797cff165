#pragma once
#include <windows.h>

#include <string>

namespace tandrel {

// Turns a string-table filter ("INI ファイル(*.ini)|*.ini|…|") into the
// NUL-separated form of the file dialogs by replacing every "|" in place;
// returns the length.
size_t FilterForDialog(std::wstring& text);

// The open (or save) dialog for a file. The path is expanded first; the
// dialog starts in initialFolder, or in the path's folder when initialFolder
// is the path itself. On OK path becomes the chosen file.
bool PickFile(HWND owner, std::wstring& path, const std::wstring& initialFolder, unsigned titleId,
              unsigned filterId, unsigned defaultExtensionId, bool save);

// The shell's folder browser, opened on the expanded path. On OK path
// becomes the chosen folder; on Cancel it holds the expanded text without
// its trailing backslash.
bool PickFolder(HWND owner, std::wstring& path, unsigned titleId);

}  // namespace tandrel
