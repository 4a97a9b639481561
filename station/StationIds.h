#pragma once
// Control ids of the station window (dialog template 102), shared by the
// files that handle its controls.
enum : int {
    IDC_FULLVIEW = 1001,
    IDC_SCALE = 1002,
    IDC_SAVE = 1003,
    IDC_FREEZE = 1004,
    IDC_SKIN_COMPARE = 1005,
    IDC_HAIR_COMPARE = 1006,
    IDC_TITLE = 1007,
    IDC_ERASER = 1008,
    IDC_CLOSE = 1009,
    IDC_MINIMIZE = 1010,
    IDC_VIEW = 1011,
    IDC_BACK = 1012,
    IDC_WAITING = 1013,
    IDC_REPORT = 1014,
    IDC_PEN = 1016,
    IDC_FILES = 1017,
    IDC_RETRY = 1022,
    IDC_NODEVICE_0 = 1023,
    IDC_NODEVICE_2 = 1024,
    IDC_NODEVICE_1 = 1025,
    IDC_SPARE = 1026,
    IDC_SCALE_MENU = 1027,
    IDC_NODEVICE_3 = 1028,
    IDC_CAPTION = 1035,
    IDC_SMALL = 1036,
};

// Commands of the station's popup menus: the magnification menu's two rows,
// and the range the window takes its menu commands from.
enum : unsigned {
    IDM_MAGNIFY_50X = 3584,   // " 50  X "
    IDM_MAGNIFY_200X = 3585,  // " 200 X "
    IDM_POPUP_FIRST = 3584,
    IDM_POPUP_LAST = 7679,
};
