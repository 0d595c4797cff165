// Resource numbers of the engine room.
#pragma once
