#include "app/Markers.h"

#include <string>

#include "app/WorkFolder.h"
#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"

using platform::Os;
using platform::RegistryRoot;

bool WriteUpdateMarker() {
    platform::KeyHandle opened = nullptr;
    if (Os().RegOpenKeyExA(RegistryRoot::Users, app::kMarkerKey, 0, win::KEY_SET_VALUE, opened) !=
            win::ERROR_SUCCESS &&
        Os().RegCreateKeyA(RegistryRoot::Users, app::kMarkerKey, opened) != win::ERROR_SUCCESS) {
        return false;
    }
    platform::ScopedRegKey key(opened);
    return Os().RegSetValueExA(key.Get(), app::kMarkerValueName, win::REG_SZ, app::kMarkerData,
                               app::kMarkerDataSize) == win::ERROR_SUCCESS;
}

void RemoveRunEntry() {
    Os().SHDeleteValueA(RegistryRoot::LocalMachine, app::kRunKey, app::kRunValueName);
}

void CreateUpdateFolder() {
    std::string programFiles;
    platform::Hresult hr =
        Os().SHGetFolderPathA(win::CSIDL_PROGRAM_FILES, win::SHGFP_TYPE_CURRENT, programFiles);
    // Without a Program Files path there is nowhere sensible to create it.
    if (hr < 0 || programFiles.empty()) return;
    std::string folder = programFiles + app::kUpdateFolderName;
    if (folder.size() >= app::kMaxPath) return;
    Os().CreateDirectoryA(folder);
}
