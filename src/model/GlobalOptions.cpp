#include "model/GlobalOptions.h"

namespace tandrel {

const wchar_t* const kFontSlotNames[FontSlotCount] = {L"Dialog",  L"ToolBar",    L"ProjectList",
                                                       L"SetupList", L"ReportList", L"StatusBar"};

void GlobalOptions::CopyFrom(const GlobalOptions& o, unsigned groups) {
    if (this == &o) return;
    if (groups & GroupLocation) static_cast<LocationOptions&>(*this) = o;
    if (groups & GroupVersion) static_cast<VersionOptions&>(*this) = o;
    if (groups & GroupLayout) static_cast<LayoutOptions&>(*this) = o;
    if (groups & GroupProjects) {
        ActiveProject = o.ActiveProject;
        ProjectCollection names;
        for (int p = 0; p < o.projects.Count(); ++p) {
            names.Add(o.projects.Name(p));
            if (!(groups & GroupSettings) && projects.Valid(p)) {
                names.At(p).settings = projects.At(p).settings;
                names.At(p).commands = projects.At(p).commands;
            }
        }
        projects = names;
    }
    if (groups & GroupSettings) {
        for (int p = 0; p < projects.Count() && p < o.projects.Count(); ++p) {
            projects.At(p).settings = o.projects.At(p).settings;
            projects.At(p).commands = o.projects.At(p).commands;
        }
    }
    if (groups & GroupSheet) static_cast<SheetOptions&>(*this) = o;
}

int GlobalOptions::DecodeDetectMediaAction(int s) {
    if (s & 0x4) return (s & 0x2) ? 2 : 1;
    return (s & 0x2) ? 4 : 3;
}

int GlobalOptions::EncodeDetectMediaAction(int v) {
    switch (v) {
        case 1: return 5;
        case 2: return 6;
        case 3: return 1;
        case 4: return 2;
        default: return 0;
    }
}

}  // namespace tandrel
