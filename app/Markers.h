// The program's lasting marks outside the work folder: the update marker, the
// start-up entry it deletes, and the update folder under Program Files.
#pragma once

namespace app {
inline constexpr const char* kMarkerKey = ".DEFAULT\\Software\\Vireo\\BIOSUPDATE\\Parameters";
inline constexpr const char* kMarkerValueName = "Version";
inline constexpr const char* kMarkerData = "1.1508.1126.02";
inline constexpr unsigned long kMarkerDataSize = 14;  // the characters, not the NUL
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "BIOSUpdate";
inline constexpr const char* kUpdateFolderName = "\\BIOSUPDATE";
}  // namespace app

// Writes "Version" under HKEY_USERS\.DEFAULT\...\Parameters; true when written.
bool WriteUpdateMarker();
// Deletes the "BIOSUpdate" start-up value; other values stay.
void RemoveRunEntry();
// Creates "BIOSUPDATE" under the Program Files folder.
void CreateUpdateFolder();
