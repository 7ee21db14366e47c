// Win32 numbers the portable code needs, with their system values.
#pragma once

namespace win {

// Messages
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_NCDESTROY = 0x0082;
constexpr unsigned WM_INITDIALOG = 0x0110;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_QUERYENDSESSION = 0x0011;
constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_QUERYDRAGICON = 0x0037;
constexpr unsigned WM_SETICON = 0x0080;
constexpr unsigned WM_ICONERASEBKGND = 0x0027;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_CHAR = 0x0102;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_CTLCOLORMSGBOX = 0x0132;
constexpr unsigned WM_CTLCOLOREDIT = 0x0133;
constexpr unsigned WM_CTLCOLORLISTBOX = 0x0134;
constexpr unsigned WM_CTLCOLORBTN = 0x0135;
constexpr unsigned WM_CTLCOLORDLG = 0x0136;
constexpr unsigned WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr unsigned WM_CTLCOLORSTATIC = 0x0138;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_POWERBROADCAST = 0x0218;
constexpr unsigned WM_SYSCOMMAND = 0x0112;
constexpr unsigned WM_APP = 0x8000;

// WM_POWERBROADCAST
constexpr unsigned PBT_APMQUERYSUSPEND = 0;
constexpr unsigned PBT_APMSUSPEND = 4;
constexpr unsigned PBT_APMPOWERSTATUSCHANGE = 10;
constexpr long BROADCAST_QUERY_DENY = 0x424D5144;

// WM_SYSCOMMAND: wParam & 0xFFF0
constexpr unsigned SC_SIZE = 0xF000;
constexpr unsigned SC_MOVE = 0xF010;
constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_MAXIMIZE = 0xF030;
constexpr unsigned SC_CLOSE = 0xF060;
constexpr unsigned SC_SCREENSAVE = 0xF140;
constexpr unsigned SC_MONITORPOWER = 0xF170;

// WM_SETICON
constexpr unsigned ICON_SMALL = 0;
constexpr unsigned ICON_BIG = 1;

// Message boxes
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Window styles and placement
constexpr unsigned long WS_EX_TOOLWINDOW = 0x00000080;
constexpr unsigned long WS_EX_APPWINDOW = 0x00040000;
constexpr unsigned SWP_SHOWWINDOW = 0x0040;
constexpr unsigned SWP_NOSIZE = 0x0001;
constexpr unsigned SWP_NOMOVE = 0x0002;
constexpr unsigned SWP_NOZORDER = 0x0004;
constexpr unsigned SWP_NOACTIVATE = 0x0010;
constexpr unsigned SWP_ASYNCWINDOWPOS = 0x4000;
constexpr int SW_RESTORE = 9;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

// Drawing
constexpr unsigned SRCCOPY = 0x00CC0020;
constexpr int TRANSPARENT = 1;
constexpr unsigned DT_CENTER = 0x1;

// Registry
constexpr unsigned long KEY_SET_VALUE = 0x0002;
constexpr unsigned long REG_SZ = 1;
constexpr long ERROR_SUCCESS = 0;

// Shell folders
constexpr int CSIDL_PROGRAM_FILES = 0x26;
constexpr int CSIDL_WINDOWS = 0x24;
constexpr unsigned SHGFP_TYPE_CURRENT = 0;

// Processes
constexpr unsigned long CREATE_SUSPENDED = 0x00000004;
constexpr unsigned long CREATE_NO_WINDOW = 0x08000000;
constexpr unsigned long CREATE_BREAKAWAY_FROM_JOB = 0x01000000;
constexpr unsigned long RESUME_FAILED = 0xFFFFFFFF;  // ResumeThread's (DWORD)-1
constexpr unsigned long JOB_OBJECT_MSG_EXIT_PROCESS = 7;
constexpr unsigned long JOB_OBJECT_MSG_NEW_PROCESS = 6;
constexpr unsigned long JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO = 4;
constexpr unsigned long STILL_ACTIVE = 259;
constexpr unsigned SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr unsigned long INFINITE = 0xFFFFFFFF;
constexpr unsigned long WAIT_TIMEOUT = 0x102;

// Power requests
constexpr unsigned long ES_SYSTEM_REQUIRED = 0x00000001;
constexpr unsigned long ES_DISPLAY_REQUIRED = 0x00000002;
constexpr unsigned long ES_CONTINUOUS = 0x80000000;

// COM
constexpr int S_OK = 0;

// WMI
constexpr long WBEM_FLAG_RETURN_IMMEDIATELY = 0x10;
constexpr long WBEM_FLAG_FORWARD_ONLY = 0x20;

// Locales
constexpr unsigned long LANG_KOREAN_KOREA = 1042;

}  // namespace win

// Colour as a COLORREF: 0x00BBGGRR.
constexpr unsigned long Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
