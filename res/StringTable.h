// The string table in both languages, for code that runs without Windows
// resources (host tests and the platform double). Texts are UTF-8.
#ifndef BIOSUPDATE_RES_STRINGTABLE_H
#define BIOSUPDATE_RES_STRINGTABLE_H

enum class UiLanguage { English, Korean };

namespace string_table {

struct Entry {
    unsigned id;
    const char* english;
    const char* korean;
};

inline constexpr Entry kEntries[] = {
#define BIOSUPDATE_STRING(id, english, korean) {id, english, korean},
#include "strings.inc"
#undef BIOSUPDATE_STRING
};

}  // namespace string_table

// The text of string id in language, or nullptr when the table has none.
inline const char* FindString(unsigned id, UiLanguage language) {
    for (const string_table::Entry& entry : string_table::kEntries) {
        if (entry.id == id) {
            return language == UiLanguage::Korean ? entry.korean : entry.english;
        }
    }
    return nullptr;
}

#endif
