#include "engine/EngineHost.h"

#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

unsigned RowActionTextId(RowAction action) {
    switch (action) {
        case RowAction::Start: return IDS_ROW_START;
        case RowAction::TestStart: return IDS_ROW_TEST_START;
        case RowAction::Create: return IDS_ROW_CREATE;
        case RowAction::FolderCreate: return IDS_ROW_FOLDER_CREATE;
        case RowAction::Update: return IDS_ROW_UPDATE;
        case RowAction::Delete: return IDS_ROW_DELETE;
        case RowAction::FolderDelete: return IDS_ROW_FOLDER_DELETE;
        case RowAction::Rename: return IDS_ROW_RENAME;
        case RowAction::Skip: return IDS_ROW_SKIP;
        case RowAction::Abort: return IDS_ROW_ABORT;
        case RowAction::End: return IDS_ROW_END;
        case RowAction::Drive: return IDS_ROW_DRIVE;
        case RowAction::Summary: return IDS_ROW_SUMMARY;
        case RowAction::Error: return IDS_ERROR;
        case RowAction::Command: return IDS_COMMAND_RUN;
        case RowAction::Confirm: return IDS_ROW_GUARD;
        case RowAction::ToHistory: return IDS_ROW_TO_HISTORY;
        case RowAction::Move: return IDS_ROW_MOVE;
    }
    return IDS_ERROR;
}

std::wstring RowActionText(RowAction action) {
    return LoadText(RowActionTextId(action));
}

}  // namespace tandrel
