#pragma once
#include <string>

#include "framework/Window.h"

namespace tandrel {

// Dialog 145: the name of a project, at most 64 characters; an empty
// caption keeps the template's "名称変更".
class CDlgProjectName : public Dialog {
public:
    static constexpr int kMaxName = 64;

    CDlgProjectName(std::wstring name, std::wstring caption = {});
    // True on OK; Name() then holds the typed text.
    bool Ask(HWND owner, const std::wstring& face, int pointSize);
    const std::wstring& Name() const { return name_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    std::wstring name_;
    std::wstring caption_;
};

}  // namespace tandrel
