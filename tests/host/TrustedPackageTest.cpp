#include <string>
#include <vector>

#include "tests/host/FakeFixture.h"
#include "update/Sha256.h"
#include "update/TrustedPackage.h"

namespace {

TEST(Sha256Test, StandardVectorsWholeAndInPieces) {
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.message.substr(0, 10));
        update::Sha256 whole;
        whole.Update(v.message.data(), v.message.size());
        EXPECT_EQ(update::HexOf(whole.Final()), v.digest);
        // Pieces that straddle the 64-byte blocks.
        update::Sha256 pieces;
        for (std::size_t at = 0, size = 1; at < v.message.size();
             at += size, size = size % 97 + 1) {
            pieces.Update(v.message.data() + at, std::min(size, v.message.size() - at));
        }
        EXPECT_EQ(update::HexOf(pieces.Final()), v.digest);
    }
}

class TrustedPackageFixture : public FakeFixture {
protected:
    void SetUp() override {
        FakeFixture::SetUp();
        os.AddPackage();
    }
    static std::string In(const std::string& name) {
        return std::string(fake::FakePlatform::kWorkFolder) + "\\" + name;
    }
};

// Only the files the program was built for pass, unchanged, with nothing
// beside them the loader or a bare program name could take; every handle is
// closed after the hold, whatever the verdict.
TEST_F(TrustedPackageFixture, OnlyTheBuiltForFilesPassAndEveryHandleIsClosed) {
    using update::PackageCheck;
    const std::string image = In("K38KRPA24");
    const std::string good = "stand-in image\n" + std::string(70000, '\x5A');
    std::string flipped = good;
    flipped[40000] ^= 1;
    const std::string list = *os.trustedFiles;
    const std::string longName(258 - std::string(fake::FakePlatform::kWorkFolder).size(), 'n');
    const struct {
        const char* what;
        std::string file;  // written before the check, when not empty
        std::string contents;
        std::string trustedList;
        PackageCheck verdict;
    } cases[] = {
        {"the package as built", "", "", list, PackageCheck::AsBuilt},
        {"a log of an earlier run", In("winflash.log"), "start", list, PackageCheck::AsBuilt},
        {"a byte flipped", image, flipped, list, PackageCheck::Changed},
        {"a byte added", image, good + "!", list, PackageCheck::Changed},
        {"the utility replaced", In("winflash.exe"), "MZ another program", list,
         PackageCheck::Changed},
        {"a DLL planted", In("version.dll"), "MZ", list, PackageCheck::Changed},
        {"a program planted", In("setup.exe"), "MZ", list, PackageCheck::Changed},
        {"a redirection folder planted", In("winflash.exe.local\\x.dll"), "MZ", list,
         PackageCheck::Changed},
        {"a subfolder planted", In("en-US\\notes.txt"), "", list, PackageCheck::Changed},
        {"no list built in", "", "", "", PackageCheck::Changed},
        {"a malformed list", "", "", "not a digest 12 winflash.exe\n", PackageCheck::Changed},
        {"a list that leaves the folder", "", "", list + std::string(64, '0') + " 0 ..\\evil.exe\n",
         PackageCheck::Changed},
        {"a listed file in a subfolder", In("lang\\en-US.bin"), "",
         list + update::HexOf(update::Sha256().Final()) + " 0 lang\\en-US.bin\n",
         PackageCheck::AsBuilt},
        {"a listed file's path of 259 characters", In(longName), "",
         list + update::HexOf(update::Sha256().Final()) + " 0 " + longName + "\n",
         PackageCheck::AsBuilt},
        {"one of 260", "", "", list + std::string(64, '0') + " 0 " + longName + "n\n",
         PackageCheck::Unusable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::FakePlatform fresh;
        InstalledFor installed(fresh, os);
        fresh.AddPackage();
        fresh.trustedFiles = c.trustedList;
        if (c.trustedList.empty()) fresh.trustedFiles.reset();
        if (!c.file.empty()) fresh.AddFile(c.file, c.contents);
        {
            update::HeldPackage held;
            EXPECT_EQ(held.Hold(fake::FakePlatform::kWorkFolder), c.verdict);
            if (c.verdict == PackageCheck::AsBuilt) {
                // C:\, C:\Update, the work folder, a listed subfolder, and
                // each file as itself and for reading: held until the scope
                // ends. A DLL planted after the check is seen by the look.
                const bool inLang = c.file.find("lang\\") != std::string::npos;
                const int files = c.trustedList == list ? 2 : 3;
                EXPECT_EQ(fresh.OpenKernelHandles(), 3 + (inLang ? 1 : 0) + 2 * files);
                const std::string late = In(inLang ? "lang\\late.dll" : "late.dll");
                fresh.AddFile(late);
                EXPECT_FALSE(held.LooksAsBuilt()) << late;
            }
        }
        EXPECT_EQ(fresh.OpenKernelHandles(), 0);
    }
    // A listed file's twin in another case (the double lists its own in lower case).
    os.caseTwins.insert(In("WINFLASH.EXE"));
    EXPECT_EQ(update::HeldPackage().Hold(fake::FakePlatform::kWorkFolder), PackageCheck::Changed);
    os.caseTwins.clear();
    // A missing listed file.
    os.trustedFiles = list + update::HexOf(update::Sha256().Final()) + " 0 K38KRPA24.SIG\n";
    update::HeldPackage held;
    EXPECT_EQ(held.Hold(fake::FakePlatform::kWorkFolder), PackageCheck::Changed);
}

// What the look refuses beside the listed files, by long or short name, and
// which reparse points count as links.
TEST(TrustedPackageLook, NamesTheLoaderMayTakeAndLinks) {
    const struct {
        const char* name;
        bool taken;
    } names[] = {
        {"version.dll", true},
        {"WINMM.DLL", true},
        {"a.drv", true},
        {"x.ocx", true},
        {"desk.cpl", true},
        {"beep.sys", true},
        {"setup.exe", true},
        {"MORE.COM", true},
        {"run.bat", true},
        {"run.cmd", true},
        {"winflash.exe.mui", true},
        {"helper.exe.local", true},
        {"helper.exe.manifest", true},
        {"Vendor.Assembly.manifest", true},
        {"SETUP~1.EXE", true},
        {"winflash.log", false},
        {"winflash.ini", false},
        {"K38KRPA24", false},
        {"Release Notes.txt", false},
        {"dll", false},
        {"notes.dll.txt", false},
        {"", false},
    };
    for (const auto& n : names) {
        EXPECT_EQ(update::LoaderMayTake(n.name), n.taken) << n.name;
    }
    const struct {
        std::optional<unsigned long> tag;
        bool redirects;
    } tags[] = {
        {0, false},          {0xA0000003, true},    // a junction
        {0xA000000C, true},  {std::nullopt, true},  // a symbolic link; unreadable
        {0x9000001A, false}, {0x9000601A, false},   // cloud files
        {0x80000013, false},                        // deduplicated
    };
    for (const auto& t : tags) {
        EXPECT_EQ(update::RedirectsName(t.tag), t.redirects) << t.tag.value_or(1);
    }
    using Folders = std::vector<std::string>;
    EXPECT_EQ(update::FoldersOnPath("C:\\Update\\Zarel_bios"),
              (Folders{"C:\\", "C:\\Update", "C:\\Update\\Zarel_bios"}));
    EXPECT_EQ(update::FoldersOnPath("\\\\server\\share\\Zarel_bios"),
              (Folders{"\\\\server\\share\\", "\\\\server\\share\\Zarel_bios"}));
    EXPECT_EQ(update::FoldersOnPath("Zarel_bios"), Folders{});
    EXPECT_EQ(update::FoldersOnPath("C:\\a\\\\Zarel_bios"), Folders{});
}

}  // namespace
