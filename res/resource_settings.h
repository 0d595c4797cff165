// Resource numbers of the settings store: strings 61500-61519.
#pragma once
#include "resource_platform.h"

#define IDS_STORAGE_SWITCH          61500
#define IDS_STORAGE_SWITCH_FAILED   61501
#define IDS_PROJECT_LIST_EDIT       61502
#define IDS_PROJECT_LIST_NOT_SAVED  61503
#define IDS_INI_UNREADABLE          61504
#define IDS_LOCKED_BY_LOGOFF        61505
#define IDS_LOCKED_UNREAD           61506
#define IDS_INI_UNWRITABLE          61507
#define IDS_REGISTRY_UNWRITABLE     61508
#define IDS_REGISTRY_ROLLBACK_FAILED 61509
#define IDS_REGISTRY_CAPTION        61510
#define IDS_NOT_KEPT_BY_LOGOFF      61511
#define IDS_NOT_KEPT_UNSAVED        61512

// Numbers the program's texts are known by.
#define IDS_ALL_SYSTEM_FOLDERS   11000
#define IDS_ALL_SYSTEM_FILES     11001
#define IDS_APP_TITLE            57344
#define IDS_OLD_INI_NAME         60008
#define IDS_DEFAULT_PROJECT      60020
#define IDS_FIRST_RUN            62000
#define IDS_INI_OPEN             62001
#define IDS_INI_CONVERTED        62002
#define IDS_DEFAULT_DATE_FORMAT  62015
#define IDS_NEW_SETTING          62103
#define IDS_INI_OPEN_FAILED      63210
#define IDS_LOGVIEW_DEFAULT      64000
#define IDS_LOGVIEW_PARAM        64001
#define IDS_COMPARE_DEFAULT      64002
#define IDS_COMPARE_PARAM        64003
