// Resource numbers of the settings store: strings 61500-61519.
#pragma once

#define IDS_STORAGE_SWITCH          61500
#define IDS_STORAGE_SWITCH_FAILED   61501
#define IDS_PROJECT_LIST_EDIT       61502
#define IDS_PROJECT_LIST_NOT_SAVED  61503
#define IDS_INI_UNREADABLE          61504
#define IDS_LOCKED_BY_LOGOFF        61505
#define IDS_LOCKED_UNREAD           61506
#define IDS_INI_UNWRITABLE          61507
