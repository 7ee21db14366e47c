#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/TrustedList.h"

namespace {

const std::string kHex = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string Line(const std::string& name, const std::string& size = "12") {
    return kHex + " " + size + " " + name + "\n";
}

// What the built-in list may hold: names Windows can hold in a folder and
// its subfolders, each at most once in any case.
TEST(TrustedListTest, AcceptsOnlyNamesWindowsCanHoldOnce) {
    const struct {
        const char* what;
        std::string list;
        std::vector<std::string> names;  // empty when refused
    } cases[] = {
        {"the stand-ins", Line("K38KRPA24") + Line("winflash.exe"), {"K38KRPA24", "winflash.exe"}},
        {"blanks within a name",
         Line("Release Notes.txt") + Line(" lead"),
         {"Release Notes.txt", " lead"}},
        {"a subfolder",
         Line("lang\\en-US.bin") + Line("lang\\ko\\ko-KR.bin"),
         {"lang\\en-US.bin", "lang\\ko\\ko-KR.bin"}},
        {"a device name inside a longer one",
         Line("CONFIG.SYS") + Line("com10") + Line("lpt.txt"),
         {"CONFIG.SYS", "com10", "lpt.txt"}},
        {"an empty list", "", {}},
        {"no name", kHex + " 12 \n", {}},
        {"a doubled blank", kHex + "  12 a\n", {}},
        {"no line end", kHex + " 12 a", {}},
        {"a carriage return", kHex + " 12 a\r\n", {}},
        {"upper-case hex", Line("a").replace(0, 1, "E"), {}},
        {"short hex", Line("a").substr(1), {}},
        {"a signed size", Line("a", "+12"), {}},
        {"a size past 64 bits", Line("a", "18446744073709551616"), {}},
        {"the largest size", Line("a", "18446744073709551615"), {"a"}},
        {"a size with a letter", Line("a", "12k"), {}},
        {"the same name in another case", Line("winflash.exe") + Line("WinFlash.EXE"), {}},
        {"a file and a folder of one name", Line("lang") + Line("LANG\\en.bin"), {}},
        {"a folder and then a file of its name", Line("lang\\en.bin") + Line("Lang"), {}},
        {"a folder's name as a file's prefix",
         Line("lang\\en.bin") + Line("lang2"),
         {"lang\\en.bin", "lang2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto files = update::ParseTrustedFiles(c.list);
        ASSERT_EQ(files.has_value(), !c.names.empty());
        if (!files) continue;
        std::vector<std::string> names;
        for (const update::TrustedFile& f : *files) names.push_back(f.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(files->front().digest.front(), 0xe3);
    }
    EXPECT_EQ(update::ParseTrustedFiles(Line("a", "18446744073709551615"))->front().size,
              UINT64_MAX);

    // Names Windows cannot hold, alone or as a part of a path.
    for (const std::string& bad :
         std::vector<std::string>{".",           "..",           "a*",
                                  "a?",          "a\"b",         "a<b",
                                  "a>b",         "a|b",          "a:b",
                                  "a/b",         "a.",           "a ",
                                  "CON",         "nul",          "Aux.txt",
                                  "PRN.tar.gz",  "COM1",         "lpt9.log",
                                  "NUL .txt",    "a\tb",         "a\x7f",
                                  "\xc3\xa9",    "\\a",          "a\\",
                                  "a\\\\b",      "..\\evil.exe", "lang\\con\\a.bin",
                                  "lang.\\a.bin"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(update::ParseTrustedFiles(Line("ok") + Line(bad)));
    }
}

}  // namespace
