// Resource numbers. Where a number is part of the program's contract (string
// table texts quoted by number, dialog 100, icon 128) it keeps that number;
// everything else takes a free number in the ranges noted in each header.
// Each layer keeps its numbers in a header of its own and includes only its
// own and lower layers' headers, so a new number recompiles only the layers
// that can see it. This header gathers them all for the resource compiler
// and the tests.
#pragma once

#include "resource_platform.h"
#include "resource_settings.h"
#include "resource_engine.h"
#include "resource_windows.h"
#include "resource_ui.h"
#include "resource_dialogs.h"
#include "resource_options.h"
#include "resource_projects.h"
#include "resource_targets.h"
#include "resource_app.h"
