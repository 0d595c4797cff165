// Resource numbers of the options dialogs: controls 3100-3299, strings
// 61300-61349 unless a number is fixed.
#pragma once

// The options sheet's pages.
#define IDD_OPT_ENVIRONMENT      156
#define IDD_OPT_TOOLS            157
#define IDD_OPT_FONT             166
#define IDD_OPT_COMMAND_LIST     167

// "全般"
#define IDC_OE_REGISTRY          3100
#define IDC_OE_TRAY_ONLY         3101
#define IDC_OE_NO_ERROR_BOX      3102
#define IDC_OE_MEDIA             3103
#define IDC_OE_MEDIA_ACTION      3104
#define IDC_OE_LOG               3105
#define IDC_OE_LOG_FILE_LABEL    3106
#define IDC_OE_LOG_FILE          3107
#define IDC_OE_LOG_BROWSE        3108
#define IDC_OE_LOG_HINT          3109
#define IDC_OE_LOG_HINT2         3110
#define IDC_OE_LOG_IMMEDIATE     3111
#define IDC_OE_LOG_ERROR_ONLY    3112
#define IDC_OE_LOG_SKIP          3113
#define IDC_OE_LOG_CLEAR         3114
#define IDC_OE_LOG_DELETE_NOW    3115
#define IDC_OE_SYSTEM_FOLDERS    3116
#define IDC_OE_SYSTEM_FILES      3117
#define IDC_OE_SYSTEM_DEFAULT    3118
#define IDC_OE_RECYCLE_COUNT     3119
#define IDC_OE_RECYCLE_SPIN      3120
#define IDC_OE_RECYCLE_WAIT      3121
#define IDC_OE_LOG_GROUP         3122
#define IDC_OE_PARALLEL          3123

// "外部ツール設定"
#define IDC_OT_COMPARE_NAME      3140
#define IDC_OT_COMPARE_PATH      3141
#define IDC_OT_COMPARE_BROWSE    3142
#define IDC_OT_COMPARE_PARAM     3143
#define IDC_OT_COMPARE_PROPOSE   3144
#define IDC_OT_VIEWER_NAME       3145
#define IDC_OT_VIEWER_PATH       3146
#define IDC_OT_VIEWER_BROWSE     3147
#define IDC_OT_VIEWER_PARAM      3148
#define IDC_OT_VIEWER_PROPOSE    3149

// "表示設定"
#define IDC_OF_SETUP_DATE        3160
#define IDC_OF_REPORT_DATE       3161
#define IDC_OF_DATE_DEFAULT      3162
#define IDC_OF_PLACE             3163
#define IDC_OF_FACE              3164
#define IDC_OF_SIZE              3165
#define IDC_OF_ALL_SAME          3166
#define IDC_OF_ALL_STANDARD      3167
#define IDC_OF_NOTE              3168

// "コマンドリスト"
#define IDC_OC_LIST              3180
#define IDC_OC_ADD               3181
#define IDC_OC_DELETE            3182
#define IDC_OC_UP                3183
#define IDC_OC_DOWN              3184
#define IDC_OC_NAME              3185
#define IDC_OC_PATH              3186
#define IDC_OC_BROWSE            3187
#define IDC_OC_PARAM             3188
#define IDC_OC_WINDOW            3189
#define IDC_OC_VISIBLE           3190
#define IDC_OC_ACTION            3191

// Strings.
#define IDS_FONT_STANDARD        61300
#define IDS_MEDIA_TEST_ASK       61301
#define IDS_MEDIA_UPDATE_ASK     61302
#define IDS_PLACE_DIALOG         61305
#define IDS_PLACE_TOOLBAR        61306
#define IDS_PLACE_PROJECTS       61307
#define IDS_PLACE_SETUP_LIST     61308
#define IDS_PLACE_REPORT_LIST    61309
#define IDS_PLACE_STATUS_BAR     61310
#define IDS_PARALLEL_AUTO        61311
