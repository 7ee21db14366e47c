// planted.dll: stands in for a DLL that someone puts beside a program in the
// hope that it gets loaded. Whoever loads it gets a file "<its own path>.loaded"
// naming the loading program, and the load fails.
#include <windows.h>

namespace {

void LeaveTrace(HINSTANCE self) {
    char path[MAX_PATH + 16] = {};
    DWORD length = ::GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    ::lstrcatA(path, ".loaded");
    char program[MAX_PATH] = {};
    DWORD programLength = ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, program, programLength, &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    LeaveTrace(instance);
    return FALSE;
}
