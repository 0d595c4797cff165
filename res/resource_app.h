// Resource numbers of the application layer.
#pragma once
#include "resource_dialogs.h"
#include "resource_ui.h"

#define IDS_MUTEX_FORMAT         12000
#define IDS_USING_REGISTRY       60009
