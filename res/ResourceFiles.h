// Where the pictures and the icon of the resource file are kept as files, for
// code that draws without Windows resources. The names are relative to res/;
// each .bmp file is the bitmap resource preceded by its 14-byte file header.
#ifndef BIOSUPDATE_RES_RESOURCEFILES_H
#define BIOSUPDATE_RES_RESOURCEFILES_H

#include "resource.h"

// The file name of picture or icon id, or nullptr for any other id.
inline const char* ResourceFileName(unsigned id) {
    switch (id) {
        case IDB_MARKER:
            return "Marker.bmp";
        case IDB_BACKGROUND_KOREAN:
            return "BackgroundKorean.bmp";
        case IDB_BACKGROUND:
            return "Background.bmp";
        case IDR_MAINFRAME:
            return "BIOSUpdate.ico";
        default:
            return nullptr;
    }
}

#endif
