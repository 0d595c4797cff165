#include <windows.h>

#include "app/CommandLine.h"
#include "app/TandrelApp.h"

namespace {
// One instance for the life of the program.
tandrel::AppState g_options;
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    tandrel::CTandrelApp app(g_options);
    if (app.InitInstance(tandrel::ProcessArguments(), showCommand)) app.Run();
    return app.ExitInstance();
}
