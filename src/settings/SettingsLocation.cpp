#include "settings/SettingsLocation.h"

#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {
// Relative in the shell's sense: neither rooted ("\x", "\\server") nor
// carrying a drive ("C:x").
bool IsRelative(const std::wstring& path) {
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return false;
    return !(path.size() >= 2 && path[1] == L':');
}
}  // namespace

std::wstring ResolveIniPath(GlobalOptions& options, const std::wstring& name, const std::wstring& extension) {
    const PathParts program = SplitPath(ModulePath());
    options.exeDirectory = program.drive + program.directory;
    const std::wstring base = name.empty() ? program.baseName : name;
    std::wstring ext = extension.empty() ? std::wstring(L".ini") : extension;
    if (base.size() >= ext.size() && EqualsNoCase(base.substr(base.size() - ext.size()), ext)) ext.clear();
    const std::wstring folder = IsRelative(base) ? options.exeDirectory : std::wstring();
    return folder + base + ext;
}

}  // namespace tandrel
