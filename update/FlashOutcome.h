// How a run that reaches the flash ends: for each result, what the status
// line says and whether the run counts as an update.
#pragma once

#include "res/resource.h"

namespace update {

enum class FlashResult {
    Flashed,         // the utility ran and every process of it has ended
    Refused,         // the folder does not hold the files built for, unchanged
    UnusableFolder,  // too long for its files, a link on its path, or no root
    NotStarted,      // the utility's start or resume failed
    Crashed,         // the utility, or a helper watched, ended on an exception
    NoMains,         // mains power did not come back before the start
    BitLockerOn,     // BitLocker could not be suspended for one restart
};

struct FlashEnding {
    FlashResult result;
    unsigned statusId;   // shown for kEndingShownMs, then the exit timer; 0: none
    bool recordsUpdate;  // the update marker and the update folder
};

// How long a run that flashed nothing shows why before it ends.
constexpr unsigned long kEndingShownMs = 5000;

inline constexpr FlashEnding kFlashEndings[] = {
    {FlashResult::Flashed, 0, true},
    {FlashResult::Refused, IDS_PACKAGE_CHANGED, false},
    {FlashResult::UnusableFolder, IDS_FOLDER_UNUSABLE, false},
    {FlashResult::NotStarted, IDS_UTILITY_NOT_STARTED, false},
    {FlashResult::Crashed, IDS_UTILITY_CRASHED, false},
    {FlashResult::NoMains, IDS_NO_MAINS, false},
    {FlashResult::BitLockerOn, IDS_SUSPEND_BITLOCKER, false},
};

constexpr bool EndingsInOrder() {
    int index = 0;
    for (const FlashEnding& ending : kFlashEndings) {
        if (static_cast<int>(ending.result) != index++) return false;
    }
    return true;
}
static_assert(EndingsInOrder(), "one row for each result, in the order of FlashResult");

inline const FlashEnding& EndingOf(FlashResult result) {
    return kFlashEndings[static_cast<int>(result)];
}

}  // namespace update
