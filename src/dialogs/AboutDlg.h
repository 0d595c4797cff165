#pragma once
#include <string>

#include "framework/Window.h"
#include "model/GlobalOptions.h"

namespace tandrel {

// Dialog 100: the program name with its file version and build.
class CAboutDlg : public Dialog {
public:
    explicit CAboutDlg(std::wstring fileVersion);
    // "%s Ver.%s%s" of the title, the version and the build suffix.
    static std::wstring VersionText(const std::wstring& fileVersion);
    // Shows the box in the options' dialog font.
    void Show(HWND owner, const GlobalOptions& options);

protected:
    bool OnInit() override;

private:
    std::wstring fileVersion_;
};

}  // namespace tandrel
