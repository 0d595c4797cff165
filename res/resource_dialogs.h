// Resource numbers of the dialogs room.
#pragma once
