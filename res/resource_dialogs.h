// Resource numbers of the dialogs layer: controls 2000-2399, strings
// 61100-61199 unless a number is fixed.
#pragma once
#include "resource_engine.h"
#include "resource_settings.h"
#include "resource_windows.h"
#include "resource_options.h"
#include "resource_projects.h"
#include "resource_targets.h"

// The folder-setting sheet's pages.
#define IDD_DEF_MAIN             140
#define IDD_DEF_MODE             141
#define IDD_DEF_LOG              142
#define IDD_DEF_TARGET           143
#define IDD_DEF_SCHEDULE         144
#define IDD_DEF_COMMAND          168
#define IDD_SELECT_COMMAND       169
#define IDD_HISTORY_RESTORE      171
// Accelerators of both property sheets.
#define IDR_SHEET_ACCEL          170

// "一般"
#define IDC_DM_NAME              2001
#define IDC_DM_MASTER            2002
#define IDC_DM_MASTER_BROWSE     2003
#define IDC_DM_BACKUP            2004
#define IDC_DM_BACKUP_BROWSE     2005
#define IDC_DM_COPY_NAME         2006
#define IDC_DM_SKIP_MISSING      2007
#define IDC_DM_DETECT_MASTER     2008
#define IDC_DM_DETECT_BACKUP     2009
#define IDC_DM_CHECK_MASTER      2010
#define IDC_DM_CHECK_BACKUP      2011
#define IDC_DM_LABEL_MASTER      2012
#define IDC_DM_GET_MASTER        2013
#define IDC_DM_LABEL_BACKUP      2014
#define IDC_DM_GET_BACKUP        2015
#define IDC_DM_VOL_SKIP          2016
#define IDC_DM_MEDIA             2017
#define IDC_DM_AUTO              2018
#define IDC_DM_FOLDER_GROUP      2019
#define IDC_DM_LABEL_GROUP       2020

// "動作設定"
#define IDC_MO_SUBDIR            2040
#define IDC_MO_OVERWRITE         2041
#define IDC_MO_OVERWRITE_ALWAYS  2042
#define IDC_MO_DATE_DIR          2043
#define IDC_MO_DATE_DIR_EDIT     2044
#define IDC_MO_DATE_HINT         2045
#define IDC_MO_VERIFY            2046
#define IDC_MO_MIRRORING         2047
#define IDC_MO_ORDER             2048
#define IDC_MO_DELETE_CONF       2049
#define IDC_MO_RECYCLE           2050
#define IDC_MO_TOLERANCE         2051
#define IDC_MO_LEAVE_TIME        2052
#define IDC_MO_LEAVE_SPIN        2053
#define IDC_MO_PLUS_MINUS        2054
#define IDC_MO_SECONDS           2055
#define IDC_MO_CREATION_TIME     2056
#define IDC_MO_FOLDER_TIME       2057
#define IDC_MO_CHECK_NAME        2058
#define IDC_MO_RENAME_CASE       2059
#define IDC_MO_ERROR_LEAVE       2060
#define IDC_MO_LOCKED            2061
#define IDC_MO_RETRY             2062
#define IDC_MO_RETRY_COUNT       2063
#define IDC_MO_RETRY_SPIN        2064
#define IDC_MO_TIMES             2065
#define IDC_MO_SHOW_SKIP         2066
#define IDC_MO_GROUP_BACKUP      2067
#define IDC_MO_GROUP_MIRROR      2068
#define IDC_MO_GROUP_TIME        2069
#define IDC_MO_GROUP_OTHER       2070
#define IDC_MO_GUARD             2071
#define IDC_MO_GUARD_PERCENT     2072
#define IDC_MO_GUARD_AND         2073
#define IDC_MO_GUARD_FILES       2074
#define IDC_MO_GUARD_FILES_LABEL 2075
#define IDC_MO_REMOVE_PLAIN      2240
#define IDC_MO_HISTORY           2241
#define IDC_MO_HISTORY_LABEL     2242
#define IDC_MO_HISTORY_DIR       2243
#define IDC_MO_HISTORY_DAYS_LABEL 2244
#define IDC_MO_HISTORY_DAYS      2245
#define IDC_MO_HISTORY_DAYS_UNIT 2246
#define IDC_MO_HISTORY_RUNS      2247
#define IDC_MO_HISTORY_RUNS_UNIT 2248

// "ターゲット指定"
#define IDC_TG_FOLDER_GROUP      2080
#define IDC_TG_FOLDER_PROCESS    2081
#define IDC_TG_FOLDER_IGNORE     2082
#define IDC_TG_FOLDER_LIST       2083
#define IDC_TG_FOLDER_ADD        2084
#define IDC_TG_FOLDER_DELETE     2085
#define IDC_TG_FOLDER_EDIT       2086
#define IDC_TG_FILE_GROUP        2087
#define IDC_TG_FILE_PROCESS      2088
#define IDC_TG_FILE_IGNORE       2089
#define IDC_TG_FILE_LIST         2090
#define IDC_TG_FILE_ADD          2091
#define IDC_TG_FILE_DELETE       2092
#define IDC_TG_FILE_EDIT         2093
#define IDC_TG_IGNORE_SYSTEM     2094
#define IDC_TG_DELETE_IGNORED    2095
#define IDC_TG_DATE_GROUP        2096
#define IDC_TG_DATE_ALL          2097
#define IDC_TG_DATE_GIVEN        2098
#define IDC_TG_DATE_SINCE_LAST   2099
#define IDC_TG_DATE_PICKER       2100
#define IDC_TG_DATE_AFTER        2101
#define IDC_TG_SIZE_GROUP        2102
#define IDC_TG_SIZE_SKIP         2103
#define IDC_TG_SIZE_NUMBER       2104
#define IDC_TG_SIZE_SPIN         2105
#define IDC_TG_SIZE_UNIT         2106

// "ログファイル"
#define IDC_LG_OUTPUT            2120
#define IDC_LG_FILE_LABEL        2121
#define IDC_LG_FILE              2122
#define IDC_LG_BROWSE            2123
#define IDC_LG_IMMEDIATE         2124
#define IDC_LG_ERROR_ONLY        2125
#define IDC_LG_SKIP_LOG          2126
#define IDC_LG_CLEAR             2127
#define IDC_LG_DELETE_NOW        2128
#define IDC_LG_HINT              2129
#define IDC_LG_HINT2             2130

// "スケジュール"
#define IDC_SC_EVERY             2140
#define IDC_SC_DAILY             2141
#define IDC_SC_HOURS             2142
#define IDC_SC_HOURS_EDIT        2143
#define IDC_SC_HOURS_SPIN        2144
#define IDC_SC_GROUP             2145
#define IDC_SC_HOURS_LABEL       2146

// "コマンド": two blocks of the same controls, offsets from the block base.
#define IDC_CM_BEFORE            2160
#define IDC_CM_AFTER             2180
#define CM_ENABLE                0
#define CM_NAME                  1
#define CM_PATH                  2
#define CM_BROWSE                3
#define CM_PARAM                 4
#define CM_WINDOW                5
#define CM_ON_MODE               6
#define CM_ON_ERROR              7
#define CM_SELECT                8
#define CM_GROUP                 9
#define CM_NAME_LABEL            10
#define CM_PATH_LABEL            11
#define CM_PARAM_LABEL           12
#define CM_WINDOW_LABEL          13

// Command selection.
#define IDC_SELECT_LIST          2200
#define IDC_SELECT_NAME          2201
#define IDC_SELECT_PATH          2202
#define IDC_SELECT_PARAM         2203
#define IDC_SELECT_WINDOW        2204

// Strings.
// 「履歴から復元」
#define IDC_HR_RUNS              2260
#define IDC_HR_FILTER            2261
#define IDC_HR_FILES             2262
#define IDC_HR_STATUS            2263
#define IDC_HR_TO_MASTER         2264
#define IDC_HR_TO_FOLDER         2265
#define IDC_HR_FOLDER            2266
#define IDC_HR_BROWSE            2267
#define IDC_HR_RESTORE_FILES     2268
#define IDC_HR_RESTORE_RUN       2269

#define IDS_ORDER_BACKUP_FIRST   61100
#define IDS_ORDER_MIRROR_FIRST   61101
#define IDS_UNIT_BYTES           61102
#define IDS_UNIT_KB              61103
#define IDS_UNIT_MB              61104
#define IDS_UNIT_GB              61105
#define IDS_WINDOW_NORMAL        61106
#define IDS_WINDOW_MINIMIZED     61107
#define IDS_WINDOW_MAXIMIZED     61108
#define IDS_WINDOW_HIDDEN        61109
#define IDS_HISTORY_DIR_INVALID  61110
// 「履歴から復元」
#define IDS_HR_COLUMN_RUN        61120
#define IDS_HR_COLUMN_COUNT      61121
#define IDS_HR_COLUMN_SIZE       61122
#define IDS_HR_COLUMN_PATH       61123
#define IDS_HR_COLUMN_KIND       61124
#define IDS_HR_COLUMN_TIME       61125
#define IDS_HR_DELETED           61126
#define IDS_HR_OVERWRITTEN       61127
#define IDS_HR_READING           61128
#define IDS_HR_EMPTY             61129
#define IDS_HR_UNREADABLE        61130
#define IDS_HR_SHOWN             61131
#define IDS_HR_NO_FILES          61132
#define IDS_HR_NO_TARGET         61133
#define IDS_HR_PICK              61134
#define IDS_HR_CAPTION           61135
#define IDS_SINCE_LAST_WARNING   63000

// The About box and its controls.
#define IDD_ABOUTBOX             100
#define IDC_ABOUT_TEXT           1028
#define IDC_ABOUT_SEPARATOR      1169

// Numbers the program's texts are known by.
#define IDS_DEFAULT_DATE_DIR     11100
#define IDS_BUILD_X64            60001
#define IDS_BUILD_X86            60002
#define IDS_BUILD_W2K            60003
#define IDS_OPTIONS              60010
#define IDS_PROJECT_ADD          60021
#define IDS_PROJECT_LIMIT        60022
#define IDS_PROJECT_COPY         60023
#define IDS_PROJECT_COPIED       60024
#define IDS_PROJECT_DELETE       60025
#define IDS_PROJECT_DELETE_ASK   60026
#define IDS_PROJECT_CLEAR        60027
#define IDS_PROJECT_CLEAR_ASK    60028
#define IDS_PICK_LOG_TITLE       60300
#define IDS_PICK_LOG_FILTER      60301
#define IDS_PICK_LOG_EXT         60302
#define IDS_PICK_COMPARE_TITLE   60303
#define IDS_PICK_EXE_FILTER      60304
#define IDS_PICK_EXE_EXT         60305
#define IDS_PICK_LOGVIEW_TITLE   60306
#define IDS_PICK_PROGRAM_TITLE   60307
#define IDS_PICK_ALL_FILTER      60308
#define IDS_PICK_ALL_EXT         60309
#define IDS_PICK_INI_FILTER      60312
#define IDS_ENTER_INTEGER        61712
#define IDS_ENTER_RANGE          61714
#define IDS_PICK_MASTER_FOLDER   62010
#define IDS_PICK_BACKUP_FOLDER   62011
#define IDS_LOG_DELETE_ASK       62030
#define IDS_LOG_DELETED          62032
#define IDS_LOG_DELETE_COUNT_ASK 62034
#define IDS_TARGET_FOLDER        62100
#define IDS_TARGET_PARENTS_ASK   62101
#define IDS_PICK_TARGET_FOLDERS  62105
#define IDS_PICK_TARGET_FILES    62106
#define IDS_NEW_COMMAND          62200
#define IDS_TARGET_SPEC          62591
#define IDS_TO_REGISTRY          62604
#define IDS_TO_INI               62605
#define IDS_STORE_CHANGE         62606
#define IDS_W2K_TOOLBAR_FONT     62700
#define IDS_COPY_SAME            63232
#define IDS_TOOL_SETTING_ERROR   63970
#define IDS_TOOL_LIMIT           63971
#define IDS_WINDIFF_PARAM        64005
#define IDS_WINMERGE_PARAM       64007
