// Resource numbers of the ui room.
#pragma once
