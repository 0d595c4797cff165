// Resource numbers of the options dialogs.
#pragma once
