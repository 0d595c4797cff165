#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Window.h"

namespace tandrel {

// A copy of a dialog template (extended or classic form) that shows in the
// given face and point size; empty when the template is malformed.
std::vector<BYTE> TemplateWithFont(const void* dialogTemplate, size_t size, const std::wstring& face,
                                   int pointSize);

// The dialog template resource of the program; empty when it is missing.
std::vector<BYTE> LoadDialogTemplate(int templateId);

// Runs the dialog from its template in the user's dialog font. Without a
// face or a positive size it runs in the template's own font; a template
// that cannot be loaded gives -1.
INT_PTR RunDialogWithFont(Dialog& dialog, HWND owner, const std::wstring& face, int pointSize);

}  // namespace tandrel
