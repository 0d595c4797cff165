// Resource numbers of the targets dialogs.
#pragma once
