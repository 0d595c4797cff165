#include "app/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <climits>

#include "platform/Strings.h"

namespace tandrel {

namespace {

enum class Switch {
    Auto, Start, Shutdown, Hibernation, Command, Icon, Ini, OldIni, Logoff, Project,
    EnableRegistry, EnableRegistory, OldTargetSetting, None
};

struct SwitchText {
    Switch id;
    const wchar_t* text;
    // The whole argument must be at least this long to match.
    size_t minLength;
};

// Tried in this order; the first match wins, so "autorun" is "auto".
constexpr SwitchText kSwitches[] = {
    {Switch::Auto, L"auto", 0},
    {Switch::Start, L"start", 0},
    {Switch::Shutdown, L"shutdown", 0},
    {Switch::Hibernation, L"hibernation", 0},
    {Switch::Command, L"command=", 9},
    {Switch::Icon, L"icon", 0},
    {Switch::Ini, L"ini=", 0},
    {Switch::OldIni, L"oldini=", 0},
    {Switch::Logoff, L"logoff", 0},
    {Switch::Project, L"project=", 9},
    {Switch::EnableRegistry, L"enableregistry", 0},
    {Switch::EnableRegistory, L"enableregistory", 0},
    {Switch::OldTargetSetting, L"oldtargetsetting", 0},
};

// N - 1 of a 1-based number, kept inside int.
int OneBasedToIndex(const std::wstring& value) {
    const long long n = static_cast<long long>(ParseLeadingInt(value)) - 1;
    return n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::wstring>& args, AppState& o) {
    CommandLineResult result;
    for (const std::wstring& arg : args) {
        const std::wstring body = (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/')) ? arg.substr(1) : arg;
        Switch matched = Switch::None;
        std::wstring value;
        for (const SwitchText& s : kSwitches) {
            if (arg.size() < s.minLength || !StartsWithNoCase(body, s.text)) continue;
            matched = s.id;
            value = body.substr(wcslen(s.text));
            break;
        }
        switch (matched) {
            case Switch::Auto: o.autoStart = true; o.runMode = RunModeExit; break;
            case Switch::Start: o.autoStart = true; break;
            case Switch::Shutdown: o.autoStart = true; o.runMode = RunModeShutdown; break;
            case Switch::Hibernation: o.autoStart = true; o.runMode = RunModeHibernate; break;
            case Switch::Command:
                o.autoStart = true;
                o.runMode = RunModeCommand;
                o.commandIndex = OneBasedToIndex(value);
                break;
            case Switch::Icon: o.startIconic = true; break;
            case Switch::Ini:
                result.iniName = value;
                o.iniForced = true;
                result.defaultIniName = false;
                break;
            case Switch::OldIni: o.oldIniPath = value; break;
            case Switch::Logoff: o.noSave = true; o.iniForced = true; break;
            case Switch::Project: {
                const int index = OneBasedToIndex(value);
                o.ActiveProject = (index < 0 || index > kMaxProjects - 1) ? 0 : index;
                break;
            }
            case Switch::EnableRegistry:
            case Switch::EnableRegistory: o.registryAllowed = true; break;
            case Switch::OldTargetSetting: o.oldTargetSetting = true; break;
            case Switch::None: break;
        }
    }
    if (o.registryAllowed && o.iniForced) o.registryAllowed = false;
    if (o.registryAllowed) o.useRegistry = true;
    return result;
}

std::vector<std::wstring> ProcessArguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

}  // namespace tandrel
