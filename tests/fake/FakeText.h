// The double's string table: the program's own, in a scripted language.
#pragma once

#include <set>

#include "res/StringTable.h"

namespace fake {

class TextState {
public:
    UiLanguage uiLanguage = UiLanguage::English;
    std::set<unsigned> missingStrings;
};

}  // namespace fake
