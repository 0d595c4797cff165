#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "model/GlobalOptions.h"
#include "platform/LogFiles.h"

namespace tandrel {

// Makes the options' "dialog" font the process's dialog font, which every
// dialog and sheet of the program is shown in.
void UseDialogFontOf(const GlobalOptions& options);

// The "delete logs now" buttons: counts the logs with clear(true), asks how
// many to delete, deletes with clear(false) and tells the outcome, naming
// every file that could not be deleted.
void ConfirmAndDeleteLogs(HWND owner, const std::function<LogCleanup(bool countOnly)>& clear);

// Reads an integer field of a dialog; text that is no integer or a value
// outside min..max is refused with the program's message, and the field
// gets the focus back.
bool ValidateIntField(HWND dialog, int id, int min, int max, int& value);
// The range of a page's spin control.
void SetSpin(HWND page, int spin, int low, int high);

// How a dropped path is turned into the text a control takes.
enum class DropForm { Plain, FolderOnly, FileNameOnly };
// A dropped file becomes its folder (FolderOnly) or its name (FileNameOnly,
// where a folder gives nothing). With a master folder (its variables
// expanded) a FolderOnly result inside it becomes relative to it; any other
// its last component.
std::wstring ConvertDroppedPath(const std::wstring& path, DropForm form, const std::wstring& master = {},
                                bool relativeToMaster = false);

// Lets a control accept files dropped from the shell; the handler gets the
// paths as dropped and lives as long as the control.
void AcceptDrops(HWND control, std::function<void(const std::vector<std::wstring>&)> handler);
// An edit that takes the first dropped item, converted; an empty result is
// ignored. master is asked at the time of the drop.
void MakeDropEdit(HWND edit, DropForm form, std::function<std::wstring()> master = {});

// A picked or dropped name as a list entry: the lists keep their entries
// joined by ";", so a name holding one would come back as two entries; "?"
// still matches it.
std::wstring ListEntryFor(std::wstring name);

}  // namespace tandrel
