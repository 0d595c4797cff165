// Resource numbers of the texts that both the main window and the dialogs
// show: neither of the two window layers includes the other's numbers.
#pragma once

// Numbers the program's texts are known by.
#define IDS_PROJECT_DISPLAY      60250
#define IDS_FOLDER_SETTING       62102
#define IDS_SETTING_CREATED      62602
#define IDS_SETTING_CREATE       62603
#define IDS_LOG_NOT_FOUND        63230

// The after-completion actions (the control bar's list, the options page).
#define IDS_AFTER_NOTHING        59141
#define IDS_AFTER_MESSAGE        59142
#define IDS_AFTER_EXIT           59143
#define IDS_AFTER_HIBERNATE      59144
#define IDS_AFTER_SHUTDOWN       59145

// The media actions (the media question, the options page).
#define IDS_MEDIA_TEST           61303
#define IDS_MEDIA_UPDATE         61304
