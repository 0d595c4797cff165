// Resource numbers of the engine layer.
#pragma once
#include "resource_platform.h"

// Numbers the program's texts are known by.
#define IDS_ERROR                60109
#define IDS_ERROR_STOPPED        60120
#define IDS_ERROR_IGNORED        60121
#define IDS_COMMAND_RUN          60124
#define IDS_COMMAND_ERROR        60126
#define IDS_COMMAND_START_FAILED 60127
#define IDS_COMMAND_START_ERROR  60128
#define IDS_COMMAND_EXIT_ERROR   60129
#define IDS_LOG_DELETE           62031
#define IDS_LOG_DELETE_FAILED    62033
#define IDS_COMMAND_LOG_LINE         60125
#define IDS_COMMAND_RUNNING          62506

// Report rows (60500-60529).
#define IDS_ROW_START                60500
#define IDS_ROW_TEST_START           60501
#define IDS_ROW_CREATE               60502
#define IDS_ROW_FOLDER_CREATE        60503
#define IDS_ROW_UPDATE               60504
#define IDS_ROW_DELETE               60505
#define IDS_ROW_FOLDER_DELETE        60506
#define IDS_ROW_RENAME               60507
#define IDS_ROW_SKIP                 60508
#define IDS_ROW_ABORT                60509
#define IDS_ROW_END                  60510
#define IDS_ROW_DRIVE                60511
#define IDS_ROW_HEADER               60512

// Status line (60530-60549).
#define IDS_STATUS_BACKUP            60530
#define IDS_STATUS_MIRROR            60531
#define IDS_STATUS_DONE              60532
#define IDS_STATUS_RETRY             60533
#define IDS_STATUS_WAITING           60534
#define IDS_STATUS_RECYCLING         60535

// Error policy (60550-60569).
#define IDS_ERROR_RESOLVED           60550
#define IDS_SUPPRESS_ASK             60551
#define IDS_SUPPRESS_CAPTION         60552
#define IDS_SUPPRESS_HINT            60553
#define IDS_ERROR_ROW_TEXT           60554

// File operations (60570-60609).
#define IDS_COPY_FAILED_BODY         60570
#define IDS_COPY_FAILED              60571
#define IDS_PATH_AND_TEXT            60572
#define IDS_DELETE_FAILED            60573
#define IDS_RENAME_FAILED_BODY       60574
#define IDS_RENAME_FAILED            60575
#define IDS_MKDIR_FAILED             60576
#define IDS_RMDIR_FAILED             60577
#define IDS_RECYCLE_FAILED           60578
#define IDS_CHECK_BODY               60579
#define IDS_CHECK_FOLDER             60580
#define IDS_CHECK_FILE               60581
#define IDS_CHECK_FAILED             60582
#define IDS_CHECK_RETRIES            60583
#define IDS_BAD_NAME                 60584
#define IDS_FILE_NAMED_LIKE_FOLDER   60585
#define IDS_FOLDER_NAMED_LIKE_FILE   60586
#define IDS_LIST_FAILED              60587

// Tree walk (60610-60629).
#define IDS_TIME_INVALID             60610
#define IDS_TIME_CHECK               60611
#define IDS_MASTER_TIME_INVALID      60612
#define IDS_BACKUP_TIME_INVALID      60613
#define IDS_NO_TIME                  60614

// Batch (60630-60659).
#define IDS_ABORTED                  60630
#define IDS_ABORT_CAPTION            60631
#define IDS_BACKUP_DONE              60632
#define IDS_BACKUP_DONE_CAPTION      60633
#define IDS_AFTER_TOOL_MISSING       60634
#define IDS_AFTER_TOOL_CAPTION       60635
// Deletions nobody may confirm (60640-60649).
#define IDS_DELETE_UNCONFIRMED       60640
#define IDS_DELETE_CONFIRM_CAPTION   60641
// The guard on mass deletion.
#define IDS_GUARD_CAPTION            60642
#define IDS_GUARD_ASK                60643
#define IDS_GUARD_FIGURES            60644
#define IDS_GUARD_STOPPED            60645
#define IDS_GUARD_UNASKED            60646
#define IDS_GUARD_DECLINED           60647
#define IDS_GUARD_TEST               60648
#define IDS_ROW_GUARD                60649

// Pre-flight checks (60660-60699).
#define IDS_SIDE_MASTER              60660
#define IDS_SIDE_BACKUP              60661
#define IDS_SIDE_BOTH                60662
#define IDS_SIDE_NOT_FOUND           60663
#define IDS_SIDE_AMBIGUOUS           60664
#define IDS_SIDE_DETECT_ERROR        60665
#define IDS_SIDE_NO_MEDIA            60666
#define IDS_SIDE_NO_LABEL            60667
#define IDS_SIDE_MISMATCH            60668
#define IDS_DRIVE_TITLE              60669
#define IDS_DRIVE_FIRST_LINE         60670
#define IDS_LABEL_TITLE              60671
#define IDS_LABEL_FIRST_LINE         60672
#define IDS_LABEL_CAPTION            60673
#define IDS_MEDIA_RETRY_HINT         60674
#define IDS_MASTER_MISSING           60675
#define IDS_FOLDER_CHECK_ERROR       60676
#define IDS_MASTER_INVALID           60677
#define IDS_FOLDER_SETTING_ERROR     60678
#define IDS_BACKUP_MISSING           60679
#define IDS_BACKUP_INVALID           60680
#define IDS_SAME_FOLDER              60681
#define IDS_BACKUP_CREATE_TITLE      60682
#define IDS_BACKUP_CREATE_BODY       60683
#define IDS_DATE_FOLDER_INVALID      60684

// Faults met by the walk (60740-60759).
#define IDS_LIST_DETAIL              60740
#define IDS_MASTER_UNREAD            60741
#define IDS_LINK_SKIPPED             60742
#define IDS_LOOP_SKIPPED             60743
#define IDS_RECYCLE_UNADDRESSABLE    60744
#define IDS_CASE_TWIN                60745
#define IDS_CASE_TWIN_DETAIL         60746
#define IDS_CASE_TWIN_BODY           60747
#define IDS_REPLACED_FOLDER          60748
#define IDS_REPLACED_FILE            60749
#define IDS_SHORT_NAME_HELD          60750

// What a run tells of itself: copies that changed or did not verify, the
// summary of a setting, the end of a batch (60770-60799).
#define IDS_COPY_CHANGED             60770
#define IDS_COPY_CHANGED_BODY        60771
#define IDS_VERIFY_FAILED            60772
#define IDS_VERIFY_BODY              60773
#define IDS_ROW_SUMMARY              60774
#define IDS_SUMMARY_TEXT             60775
#define IDS_LOG_SUMMARY              60776
#define IDS_STATUS_DONE_ERRORS       60777
#define IDS_STATUS_DONE_SKIPPED      60778
#define IDS_STATUS_ABORTED           60779
#define IDS_BACKUP_DONE_ERRORS       60780
#define IDS_BACKUP_DONE_SKIPPED      60781
#define IDS_BACKUP_ABORTED           60782
#define IDS_BACKUP_SKIPPED_COUNT     60783
#define IDS_AFTER_COMMAND_FAILED     60784
#define IDS_AFTER_COMMAND_NOT_RUN    60785

// The history folder (60800-60819).
#define IDS_HISTORY_INSIDE           60800
#define IDS_HISTORY_SUFFIX           60801
#define IDS_ROW_TO_HISTORY           60802
#define IDS_HISTORY_OVERWRITTEN      60803
#define IDS_HISTORY_FAILED           60804
#define IDS_HISTORY_INVALID          60805
#define IDS_HISTORY_CLEAN_FAILED     60806

// Files moved within the backup (60830-60839).
#define IDS_ROW_MOVE                 60830
#define IDS_MOVE_PATHS               60831

// A restore from the backup or the history (60820-60829).
#define IDS_RESTORE_NAME             60820
#define IDS_RESTORE_KEEPS            60821
#define IDS_HISTORY_RESTORE_NAME     60822

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
