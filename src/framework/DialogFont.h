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
// face or a positive size, or when the template cannot be given the font, it
// runs in the template's own font; a template that cannot be loaded gives -1.
INT_PTR RunDialogWithFont(Dialog& dialog, HWND owner, const std::wstring& face, int pointSize);
// The same from a copy of the dialog's template.
INT_PTR RunTemplateWithFont(Dialog& dialog, HWND owner, const std::vector<BYTE>& original, const std::wstring& face,
                            int pointSize);

// The process's dialog font (the user's "dialog" font): face and point size,
// empty or 0 for the templates' own. Set on the window thread, read by any.
void SetUserDialogFont(const std::wstring& face, int pointSize);
std::wstring UserDialogFace();
int UserDialogPointSize();
// RunDialogWithFont in the process's dialog font.
INT_PTR RunDialogInUserFont(Dialog& dialog, HWND owner);

}  // namespace tandrel
