// Resource numbers of the projects dialogs: controls 2500-2549, strings
// 61400-61449 unless a number is fixed.
#pragma once

#define IDD_PROJECT_NAME         145
#define IDD_PROJECT_COPY         150
#define IDD_PROJECT_LIST         151

// "名称変更"
#define IDC_PN_NAME              2500

// "プロジェクトのコピー"
#define IDC_PC_SOURCE            2510
#define IDC_PC_DEST              2511
#define IDC_PC_OVERWRITE         2512
#define IDC_PC_APPEND            2513

// "プロジェクトリストの編集"
#define IDC_PL_LIST              2520
#define IDC_PL_RENAME            2521
#define IDC_PL_ADD               2522
#define IDC_PL_DELETE            2523
#define IDC_PL_CLEAR             2524
#define IDC_PL_UP                2525
#define IDC_PL_DOWN              2526
#define IDC_PL_COPY              2527

// Import and export of the folder settings.
#define IDS_IMPORT               61400
#define IDS_IMPORT_ASK           61401
#define IDS_IMPORT_ASK_REGISTRY  61402
#define IDS_IMPORT_NEWER_ASK     61403
#define IDS_IMPORTING            61404
#define IDS_IMPORTED             61405
#define IDS_IMPORT_ERROR         61406
#define IDS_IMPORT_FAILED        61407
#define IDS_EXPORT               61410
#define IDS_EXPORTING            61411
#define IDS_EXPORTED             61412
#define IDS_EXPORT_ERROR         61413
#define IDS_EXPORT_FAILED        61414
#define IDS_PICK_IMPORT_TITLE    61420
#define IDS_PICK_EXPORT_TITLE    61421
#define IDS_PICK_INI_EXT         61422
