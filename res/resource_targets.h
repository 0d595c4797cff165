// Resource numbers of the targets dialogs: controls 2700-2719, strings as
// fixed.
#pragma once

// The pattern dialogs of the target page; both use the same control ids.
#define IDD_TARGET_FOLDER        148
#define IDD_TARGET_FILE          149

#define IDC_TARGET_PATTERN       2700
#define IDC_TARGET_BROWSE        2701
#define IDC_TARGET_NOTE          2702
#define IDC_TARGET_ADD_PARENTS   2703
#define IDC_TARGET_ADD_SUBFOLDERS 2704

#define IDS_TARGET_PROCESS_NOTE  62107
