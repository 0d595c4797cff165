// Resource numbers. Where a number is part of the program's contract (string
// table texts quoted by number, dialog 100, icon 128) it keeps that number;
// everything else takes a free number in the ranges noted below.
#pragma once

// Icons, main menu, accelerators.
#define IDR_MAINFRAME            128
#define IDI_RUN1                 147
#define IDI_RUN2                 148
#define IDI_RUN3                 149
#define IDI_RUN4                 150

// Dialogs.
#define IDD_ABOUTBOX             100

// Controls of the About box.
#define IDC_ABOUT_TEXT           1028
#define IDC_ABOUT_SEPARATOR      1169

// Strings.
#define IDS_ALL_SYSTEM_FOLDERS   11000
#define IDS_ALL_SYSTEM_FILES     11001
#define IDS_DEFAULT_DATE_DIR     11100
#define IDS_MUTEX_FORMAT         12000
#define IDS_APP_TITLE            57344
#define IDS_IDLE_TEXT            57345
#define IDS_BUILD_X64            60001
#define IDS_BUILD_X86            60002
#define IDS_BUILD_W2K            60003
#define IDS_OLD_INI_NAME         60008
#define IDS_USING_REGISTRY       60009
#define IDS_OPTIONS              60010
#define IDS_DEFAULT_PROJECT      60020
#define IDS_PROJECT_ADD          60021
#define IDS_PROJECT_LIMIT        60022
#define IDS_PROJECT_COPY         60023
#define IDS_PROJECT_COPIED       60024
#define IDS_PROJECT_DELETE       60025
#define IDS_PROJECT_DELETE_ASK   60026
#define IDS_PROJECT_CLEAR        60027
#define IDS_PROJECT_CLEAR_ASK    60028
#define IDS_ERROR                60109
#define IDS_ERROR_STOPPED        60120
#define IDS_ERROR_IGNORED        60121
#define IDS_COMMAND_RUN          60124
#define IDS_COMMAND_ERROR        60126
#define IDS_COMMAND_START_FAILED 60127
#define IDS_COMMAND_START_ERROR  60128
#define IDS_COMMAND_EXIT_ERROR   60129
#define IDS_PROJECT_DISPLAY      60250
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
// Target filters: the texts of a list that cannot be built (60400-60419).
#define IDS_TARGET_FILE_PARSE        60400
#define IDS_TARGET_FILE_PARSE_BODY   60401
#define IDS_TARGET_FOLDER_PARSE      60402
#define IDS_TARGET_FOLDER_PARSE_BODY 60403
#define IDS_TARGET_ERROR             60404
// The run log: its boxes and the lines it writes (60430-60449).
#define IDS_LOG_OPEN             60430
#define IDS_LOG_FOLDER_FAILED    60431
#define IDS_LOG_OPEN_FAILED      60432
#define IDS_LOG_SEPARATOR        60433
#define IDS_LOG_SETTING_NAME     60434
#define IDS_LOG_UPDATE_TIME      60435
#define IDS_LOG_MASTER           60436
#define IDS_LOG_BACKUP           60437
#define IDS_LOG_ENTRY            60438
#define IDS_LOG_DRIVE            60439
#define IDS_LOG_ERROR_BLOCK      60440
#define IDS_ENTER_INTEGER        61712
#define IDS_ENTER_RANGE          61714
#define IDS_FIRST_RUN            62000
#define IDS_INI_OPEN             62001
#define IDS_INI_CONVERTED        62002
#define IDS_PICK_MASTER_FOLDER   62010
#define IDS_PICK_BACKUP_FOLDER   62011
#define IDS_DEFAULT_DATE_FORMAT  62015
#define IDS_LOG_DELETE_ASK       62030
#define IDS_LOG_DELETE           62031
#define IDS_LOG_DELETED          62032
#define IDS_LOG_DELETE_FAILED    62033
#define IDS_LOG_DELETE_COUNT_ASK 62034
#define IDS_TARGET_FOLDER        62100
#define IDS_TARGET_PARENTS_ASK   62101
#define IDS_FOLDER_SETTING       62102
#define IDS_NEW_SETTING          62103
#define IDS_PICK_TARGET_FOLDERS  62105
#define IDS_PICK_TARGET_FILES    62106
#define IDS_NEW_COMMAND          62200
#define IDS_DETECTING_DRIVE      62507
#define IDS_TARGET_SPEC          62591
#define IDS_SETTING_CREATED      62602
#define IDS_SETTING_CREATE       62603
#define IDS_TO_REGISTRY          62604
#define IDS_TO_INI               62605
#define IDS_STORE_CHANGE         62606
#define IDS_W2K_TOOLBAR_FONT     62700
#define IDS_INI_OPEN_FAILED      63210
#define IDS_LOG_NOT_FOUND        63230
#define IDS_COPY_SAME            63232
#define IDS_DRIVE_DETECT_ERROR   63580
#define IDS_LABEL_NOT_FOUND      63586
#define IDS_LABEL_AMBIGUOUS      63587
#define IDS_LABEL_ERROR          63588
#define IDS_TOOL_SETTING_ERROR   63970
#define IDS_TOOL_LIMIT           63971
#define IDS_LOGVIEW_DEFAULT      64000
#define IDS_LOGVIEW_PARAM        64001
#define IDS_COMPARE_DEFAULT      64002
#define IDS_COMPARE_PARAM        64003
#define IDS_WINDIFF_PARAM        64005
#define IDS_WINMERGE_PARAM       64007

// Commands of the main menu.
#define ID_APP_ABOUT             57664
#define ID_APP_EXIT              57665

// Each layer keeps its further numbers in a header of its own.
#include "resource_engine.h"
#include "resource_ui.h"
#include "resource_dialogs.h"
#include "resource_projects.h"
#include "resource_options.h"
#include "resource_targets.h"
#include "resource_settings.h"
