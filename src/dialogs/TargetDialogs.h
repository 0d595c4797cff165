#pragma once
#include <windows.h>

#include <string>

#include <functional>

#include "framework/Window.h"

namespace tandrel {

// What the target folder dialog answers: the pattern and its two boxes.
struct TargetFolderChoice {
    std::wstring pattern;
    bool addParents = false;
    bool addSubfolders = false;
};

// How the target page of the folder-setting sheet asks for its patterns.
// Without a prompt its add and edit buttons do nothing.
struct TargetPrompts {
    // The target folder dialog: choice.pattern comes in (empty when adding)
    // and goes out; processMode is true when adding to a "処理対象" list.
    std::function<bool(HWND owner, const std::wstring& master, bool processMode, TargetFolderChoice& choice)> folder;
    // The target file dialog: the pattern in and out.
    std::function<bool(HWND owner, const std::wstring& master, std::wstring& pattern)> file;

    // The dialogs below.
    static TargetPrompts Dialogs();
};

// The common part of dialogs 148 and 149: one pattern edit that takes drops,
// a "..." button, and OK only while there is a pattern.
class CTargetPatternDlg : public Dialog {
public:
    CTargetPatternDlg(int templateId, const std::wstring& master, std::wstring pattern);
    // Runs in the user's dialog font; true on OK.
    bool Ask(HWND owner);
    const std::wstring& Pattern() const { return pattern_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    // The pattern a dropped or picked path gives; empty when it gives none.
    virtual std::wstring FromPath(const std::wstring& path) const = 0;
    // Lets the user pick a path; true with a choice.
    virtual bool Browse(std::wstring& path) = 0;
    virtual void OnOk() {}

    // Expanded, so a chosen path compares with the folder the run uses.
    const std::wstring master_;
    std::wstring pattern_;
};

// Dialog 148: a folder pattern relative to the master folder.
class CTargetFolderDlg : public CTargetPatternDlg {
public:
    CTargetFolderDlg(const std::wstring& master, bool processMode, const std::wstring& pattern);
    bool AddParents() const { return addParents_; }
    bool AddSubfolders() const { return addSubfolders_; }

protected:
    bool OnInit() override;
    std::wstring FromPath(const std::wstring& path) const override;
    bool Browse(std::wstring& path) override;
    void OnOk() override;

private:
    bool processMode_;
    bool addParents_ = false;
    bool addSubfolders_ = false;
};

// Dialog 149: a file-name pattern.
class CTargetFileDlg : public CTargetPatternDlg {
public:
    CTargetFileDlg(const std::wstring& master, const std::wstring& pattern);

protected:
    std::wstring FromPath(const std::wstring& path) const override;
    bool Browse(std::wstring& path) override;
};

// Where the folder browser opens: master\pattern when that is a folder,
// else the master folder.
std::wstring TargetBrowseStart(const std::wstring& master, const std::wstring& pattern);
// A folder picked or dropped, as a pattern relative to the master folder.
std::wstring TargetFolderPattern(const std::wstring& path, const std::wstring& master);

// The two prompts the target page asks for (TargetPrompts::Dialogs).
bool PromptTargetFolder(HWND owner, const std::wstring& master, bool processMode, TargetFolderChoice& choice);
bool PromptTargetFile(HWND owner, const std::wstring& master, std::wstring& pattern);

}  // namespace tandrel
