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

// Only the files the program was built for pass, unchanged, with no file the
// loader could take for the utility beside them; every handle is closed after
// the hold, whatever the verdict.
TEST_F(TrustedPackageFixture, OnlyTheBuiltForFilesPassAndEveryHandleIsClosed) {
    const std::string image = In("K38KRPA24");
    const std::string good = "stand-in image\n" + std::string(70000, '\x5A');
    std::string flipped = good;
    flipped[40000] ^= 1;
    const std::string list = *os.trustedFiles;
    const struct {
        const char* what;
        std::string file;  // written before the check, when not empty
        std::string contents;
        std::string trustedList;
        bool passes;
    } cases[] = {
        {"the package as built", "", "", list, true},
        {"a log of an earlier run", In("winflash.log"), "start", list, true},
        {"a byte flipped", image, flipped, list, false},
        {"a byte added", image, good + "!", list, false},
        {"the utility replaced", In("winflash.exe"), "MZ another program", list, false},
        {"a DLL planted", In("version.dll"), "MZ", list, false},
        {"a DLL planted, upper case", In("WINMM.DLL"), "MZ", list, false},
        {"a driver planted", In("a.drv"), "MZ", list, false},
        {"a redirection folder planted", In("winflash.exe.local\\x.dll"), "MZ", list, false},
        {"a manifest planted", In("winflash.exe.manifest"), "<assembly/>", list, false},
        {"no list built in", "", "", "", false},
        {"a malformed list", "", "", "not a digest 12 winflash.exe\n", false},
        {"a list that leaves the folder", "", "", list + std::string(64, '0') + " 0 ..\\evil.exe\n",
         false},
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
            update::HeldFiles held;
            EXPECT_EQ(update::HoldTrustedFiles(fake::FakePlatform::kWorkFolder, held), c.passes);
            if (c.passes) {
                EXPECT_EQ(fresh.OpenKernelHandles(), 2);  // held until the scope ends
            }
        }
        EXPECT_EQ(fresh.OpenKernelHandles(), 0);
    }
    // A missing listed file.
    os.trustedFiles = list + update::HexOf(update::Sha256().Final()) + " 0 K38KRPA24.SIG\n";
    update::HeldFiles held;
    EXPECT_FALSE(update::HoldTrustedFiles(fake::FakePlatform::kWorkFolder, held));
}

}  // namespace
