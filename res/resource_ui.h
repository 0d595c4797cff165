// Resource numbers of the ui layer. Numbers that other parts of the program or
// the settings refer to keep them; the ui's own strings take 59100-59299.
#pragma once
#include "resource_engine.h"
#include "resource_settings.h"
#include "resource_windows.h"

// Menus, bitmaps and templates of the main window (the main menu and the
// accelerators are IDR_MAINFRAME).
#define IDR_SETUP_POPUP          102
#define IDR_REPORT_POPUP         103
#define IDR_TRAY_POPUP           136
#define IDB_TOOLBAR              134
#define IDB_TOOLBAR_DISABLED     136
#define IDB_TOOLBAR_30           137
#define IDB_TOOLBAR_DISABLED_30  138
#define IDB_TOOLBAR_40           139
#define IDB_TOOLBAR_DISABLED_40  140
#define IDD_CONTROL_BAR          128
#define IDD_CONFIRM_DELETE       160

// Controls.
#define IDC_SETUP_LIST           1000
#define IDC_REPORT_LIST          1001
#define IDC_AFTER_LIST           1112
#define IDC_PROJECT_LABEL        1128
#define IDC_AFTER_LABEL          1129
#define IDC_PROJECT_COMBO        1130
#define IDC_PROJECT_EDIT         1131
#define IDC_BAR_BACKGROUND       1132
#define IDC_DELETE_NAME          1140
#define IDC_DELETE_TIME          1141
#define IDC_DELETE_SIZE          1142
#define IDC_DELETE_THIS          1143
#define IDC_DELETE_ALL           1144
#define IDC_DELETE_SKIP          1145
#define IDC_DELETE_ABORT         1146
#define IDW_TOOLBAR              59392
#define IDW_STATUS_BAR           59393

// Commands.
#define ID_SETTING_EDIT          32771
#define ID_SETTING_ADD           32772
#define ID_SETTING_DELETE        32773
#define ID_RUN_ALL_UPDATE        32774
#define ID_RUN_CANCEL            32775
#define ID_RUN_UPDATE            32776
#define ID_REPORT_CLEAR          32777
#define ID_RUN_TEST              32778
#define ID_OPTIONS               32779
#define ID_TRAY_SHOW             32780
#define ID_COMPARE_TOOL          32782
#define ID_OPEN_LOG              32785
#define ID_HELP_MANUAL           32786
#define ID_SETTING_DUPLICATE     32788
#define ID_SETTING_UP            32789
#define ID_SETTING_DOWN          32790
#define ID_RUN_ALL_TEST          32796
#define ID_OPEN_MASTER           32797
#define ID_OPEN_BACKUP           32798
#define ID_PROJECT_SELECT        32799
#define ID_SETTING_SELECT        32801
#define ID_SELECT_ALL            32802
#define ID_PROJECT_EDIT          32803
#define ID_AFTER_EXIT            32804
#define ID_AFTER_SHUTDOWN        32805
#define ID_MEDIA_ENABLE          32813
#define ID_MEDIA_NONE            32814
#define ID_MEDIA_TEST_ASK        32815
#define ID_MEDIA_UPDATE_ASK      32816
#define ID_MEDIA_TEST            32817
#define ID_MEDIA_UPDATE          32818
#define ID_IMPORT                32819
#define ID_EXPORT                32820
#define ID_RESTORE_BACKUP        32821
#define ID_EDIT_COPY             57634

// Strings.
#define IDS_TOOLBAR_DETECT       10011
#define IDS_LOGVIEW_FAILED       63201
#define IDS_COL_AUTO             59100
#define IDS_COL_NAME             59101
#define IDS_COL_MASTER           59102
#define IDS_COL_BACKUP           59103
#define IDS_COL_RESULT           59104
#define IDS_COL_ACTION           59105
#define IDS_COL_FILE             59106
#define IDS_COL_MASTER_TIME      59107
#define IDS_COL_BACKUP_TIME      59108
#define IDS_COL_SIZE             59109
#define IDS_RESULT_OK            59110
#define IDS_RESULT_SKIPPED       59111
#define IDS_RESULT_RUNNING       59112
#define IDS_RESULT_UNKNOWN       59113
#define IDS_RESULT_ERRORS        59114
#define IDS_RUNNING_NO_CHANGE    59115
#define IDS_AUTO_CHANGE          59116
#define IDS_COMPARE_NOT_SET_MENU 59117
#define IDS_COMPARE_NAMED_MENU   59118
#define IDS_COMPARE_MENU         59119
#define IDS_COMPARE_ACCEL        59120
#define IDS_CANCELLING           59121
#define IDS_DELETE_ONE_ASK       59122
#define IDS_DELETE_MANY_ASK      59123
#define IDS_DELETE_CAPTION       59124
#define IDS_DUPLICATE_ASK        59125
#define IDS_DUPLICATE_CAPTION    59126
#define IDS_COPY_NAME            59127
#define IDS_OPEN_MASTER_ASK      59128
#define IDS_OPEN_MASTER_CAPTION  59129
#define IDS_OPEN_BACKUP_ASK      59130
#define IDS_OPEN_BACKUP_CAPTION  59131
#define IDS_OPEN_LOGS_ASK        59132
#define IDS_OPEN_LOGS_CAPTION    59133
#define IDS_COMPARE_NOT_SET      59134
#define IDS_COMPARE_START        59135
#define IDS_COMPARE_ASK          59136
#define IDS_COMPARE_CAPTION      59137
#define IDS_HELP_NOT_FOUND       59138
#define IDS_HELP_ERROR           59139
#define IDS_FINISHED             59140
#define IDS_TB_ADD               59150
#define IDS_TB_DELETE            59151
#define IDS_TB_EDIT              59152
#define IDS_TB_LOG               59153
#define IDS_TB_UP                59154
#define IDS_TB_DOWN              59155
#define IDS_TB_TEST              59156
#define IDS_TB_ALL_TEST          59157
#define IDS_TB_UPDATE            59158
#define IDS_TB_ALL_UPDATE        59159
#define IDS_TB_CANCEL            59160
#define IDS_DELETE_SIZE          59161
#define IDS_WAITING_FOR_BOX      59162

// The progress pane of the status line (59180-59189).
#define IDS_PROGRESS_SETTING     59180
#define IDS_PROGRESS_LINE        59181
#define IDS_PROGRESS_BOTH        59182
#define IDS_PROGRESS_LEFT        59183

// The end of a run and of the program (59190-59199).
#define IDS_HIBERNATE_FAILED     59190
#define IDS_SHUTDOWN_FAILED      59191
#define IDS_CLOSE_WAITS          59192

// A restore from the backup (59200-59209).
#define IDS_RESTORE_CAPTION      59200
#define IDS_RESTORE_WHERE        59201
#define IDS_RESTORE_PICK         59202
#define IDS_RESTORE_DATE_FOLDERS 59203
#define IDS_RESTORE_GO           59204
#define IDS_RESTORE_ONE          59205

// Media detection (its action words IDS_MEDIA_TEST and IDS_MEDIA_UPDATE are
// shared with the options page).
#define IDS_MEDIA_DETECTING      59170
#define IDS_MEDIA_CAPTION        59171
#define IDS_MEDIA_CONFIRM        59172
#define IDS_MEDIA_MORE           59173

// Icons, main menu, accelerators.
#define IDR_MAINFRAME            128
#define IDI_RUN1                 147
#define IDI_RUN2                 148
#define IDI_RUN3                 149
#define IDI_RUN4                 150

// Commands of the main menu.
#define ID_APP_ABOUT             57664
#define ID_APP_EXIT              57665
