// Resource numbers of the projects dialogs.
#pragma once
