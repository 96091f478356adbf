#pragma once
// Command identifiers of the menus, toolbar and popups. Each action carries
// its identifier in QAction::data().
namespace varnel {

enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_CONFIG_DOWNLOAD = 32771,
    ID_ACCESS_PARAMS = 32772,
    ID_NETWORK_PARAMS = 32774,
    ID_SLOT_COUNT = 32775,
    ID_DEVICE_PARAMS = 32776,
    ID_MODULE_REPORT = 32777,
    ID_CLEAR_CONFIG = 32778,
    ID_RESTART_DEVICE = 32779,
    ID_DELETE = 32780,
    ID_OPEN_HEX_FILE = 32782,
    ID_COMPILE = 32783,
    ID_PLACE_STATUS_TABLES = 32784,
    ID_COMPILE_AND_DOWNLOAD = 32785,
};

}  // namespace varnel
