// plantprobe.exe NAME [restricted]: loads the DLL NAME by its bare name, as a
// system DLL loads its helpers, after restricting the DLL search to the
// system folder when asked to; prints the path it was loaded from, or
// "not loaded". The control for the planting tests: it shows what Wine's
// loader does with a DLL beside the program.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: plantprobe NAME [restricted]\n", stderr);
        return 2;
    }
    if (argc > 2 && std::strcmp(argv[2], "restricted") == 0) {
        using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
        HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
        if (!setDefaultDllDirectories || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            std::puts("cannot restrict");
            return 1;
        }
    }
    HMODULE module = ::LoadLibraryA(argv[1]);
    if (!module) {
        std::printf("not loaded (error %lu)\n", ::GetLastError());
        return 0;
    }
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("loaded %s\n", path);
    ::FreeLibrary(module);
    return 0;
}
