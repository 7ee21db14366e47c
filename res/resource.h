// Resource ids of BIOSUpdate.exe; usable from both the .rc file and C++.
#ifndef BIOSUPDATE_RES_RESOURCE_H
#define BIOSUPDATE_RES_RESOURCE_H

#define IDD_BIOSUPDATE_DIALOG 102
#define IDR_MAINFRAME 128

#define IDB_MARKER 132
#define IDB_BACKGROUND_KOREAN 134
#define IDB_BACKGROUND 135

#define IDS_APP_TITLE 129
#define IDS_STATUS_CAPTION 130
#define IDS_LOADING 131
#define IDS_VERIFYING 132
#define IDS_OTHER_PLATFORM 133
#define IDS_CANNOT_UPDATE 134
#define IDS_CHECKING 135
#define IDS_LOW_BATTERY 136
#define IDS_UPDATING 137
#define IDS_INITIALIZING 138
#define IDS_CONFIRM 139
#define IDS_NO_AC_POWER 140
#define IDS_TARGET_NEWER 141
#define IDS_SAME_VERSION 142
#define IDS_XP_ONLY 143
#define IDS_PACKAGE_CHANGED 144
#define IDS_ADAPTER_UNPLUGGED 145

#define IDS_FIRST IDS_APP_TITLE
#define IDS_LAST IDS_ADAPTER_UNPLUGGED

// The files of the work folder the program was built for: one line each,
// "<SHA-256 in hex> <size> <name>".
#define IDR_TRUSTED_FILES 300

#define IDR_MANIFEST_PROCESS 1
#define IDR_MANIFEST_APP 1024
#define IDR_VERSION 1

#endif
