// Resource numbers of the platform layer (numbers the program's texts are
// known by).
#pragma once

#define IDS_IDLE_TEXT            57345
#define IDS_DETECTING_DRIVE      62507
#define IDS_DRIVE_DETECT_ERROR   63580
#define IDS_LABEL_NOT_FOUND      63586
#define IDS_LABEL_AMBIGUOUS      63587
#define IDS_LABEL_ERROR          63588
