// String loading and text conversion in the session's language: run once in
// an English session and once in a Korean one (BIOSUPDATE_TEST_LANGUAGE).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/win32/Win32Platform.h"
#include "res/StringTable.h"

namespace platform {
namespace {

// What a UTF-8 text becomes in the given ANSI code page.
std::string InCodePage(const char* utf8, unsigned codePage) {
    int wideSize = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(wideSize));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), wideSize);
    int size = ::WideCharToMultiByte(codePage, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> text(static_cast<size_t>(size));
    ::WideCharToMultiByte(codePage, 0, wide.data(), -1, text.data(), size, nullptr, nullptr);
    return std::string(text.data());
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        korean_ = platform_test::KoreanSession();
        // Make sure the session is what the run asked for, so that the two
        // runs really test two languages.
        ASSERT_EQ(::GetACP(), korean_ ? 949u : 1252u);
        ASSERT_EQ(::GetUserDefaultUILanguage(), korean_ ? 0x0412 : 0x0409);
    }

    bool korean_ = false;
    Win32Platform os_;
};

TEST_F(TextTest, EveryStringComesInTheSessionLanguage) {
    const UiLanguage language = korean_ ? UiLanguage::Korean : UiLanguage::English;
    for (unsigned id = 129; id <= 150; ++id) {
        SCOPED_TRACE(id);
        const char* expected = FindString(id, language);
        ASSERT_NE(expected, nullptr);
        std::string text;
        ASSERT_TRUE(os_.LoadStringA(id, text));
        EXPECT_EQ(text, InCodePage(expected, korean_ ? 949 : 1252));
    }
}

TEST_F(TextTest, KoreanTitleIsCodePage949) {
    if (!korean_) {
        GTEST_SKIP() << "Korean session only";
    }
    std::string text;
    ASSERT_TRUE(os_.LoadStringA(129, text));
    EXPECT_EQ(text, "BIOS \xBE\xF7\xB5\xA5\xC0\xCC\xC6\xAE \xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5");
}

TEST_F(TextTest, TextsKeepTheirBlanksAndBareLineFeeds) {
    std::string loading;
    ASSERT_TRUE(os_.LoadStringA(131, loading));
    if (!korean_) {
        EXPECT_EQ(loading.back(), ' ');
    }
    std::string confirm;
    ASSERT_TRUE(os_.LoadStringA(139, confirm));
    EXPECT_EQ(std::count(confirm.begin(), confirm.end(), '\n'), 2);
    EXPECT_EQ(confirm.find('\r'), std::string::npos);
}

TEST_F(TextTest, MissingOrEmptyStringLeavesTheTextAlone) {
    for (unsigned id : {0u, 128u, 151u, 57344u}) {
        SCOPED_TRACE(id);
        std::string text = "untouched";
        EXPECT_FALSE(os_.LoadStringA(id, text));
        EXPECT_EQ(text, "untouched");
    }
}

TEST_F(TextTest, Utf16ConvertsWithTheThreadCodePage) {
    const std::u16string failure = u"\uAD8C\uD55C \uC124\uC815 \uC2E4\uD328";  // 권한 설정 실패
    const std::string ansi = os_.AnsiFromUtf16(failure);
    if (korean_) {
        EXPECT_EQ(ansi, "\xB1\xC7\xC7\xD1 \xBC\xB3\xC1\xA4 \xBD\xC7\xC6\xD0");
        EXPECT_EQ(os_.Utf16FromAnsi(ansi), failure);
    } else {
        EXPECT_EQ(ansi, "?? ?? ??");
    }
    EXPECT_EQ(os_.AnsiFromUtf16(u"K38KRPA24"), "K38KRPA24");
    EXPECT_EQ(os_.Utf16FromAnsi("\\\\.\\root\\cimv2"), u"\\\\.\\root\\cimv2");
    EXPECT_EQ(os_.AnsiFromUtf16(u""), "");
    EXPECT_EQ(os_.Utf16FromAnsi(""), u"");
}

TEST_F(TextTest, ConversionStopsAtTheFirstNul) {
    EXPECT_EQ(os_.AnsiFromUtf16(std::u16string(u"K38\0junk", 8)), "K38");
    EXPECT_EQ(os_.Utf16FromAnsi(std::string("K38\0junk", 8)), u"K38");
}

TEST_F(TextTest, MbsUprRaisesAsciiLettersOnly) {
    std::string version = "k38krpa24 -_.0x1f";
    os_.MbsUpr(version);
    EXPECT_EQ(version, "K38KRPA24 -_.0X1F");

    std::string empty;
    os_.MbsUpr(empty);
    EXPECT_EQ(empty, "");
}

TEST_F(TextTest, MbsUprLeavesDoubleByteCharactersWhole) {
    if (!korean_) {
        GTEST_SKIP() << "Korean session only";
    }
    // 0x81 0x61 is one character whose second byte looks like 'a'.
    std::string text = "k\x81\x61z";
    os_.MbsUpr(text);
    EXPECT_EQ(text, "K\x81\x61Z");
}

// Each status text fits the picture's 640 pixels in the screen's font.
TEST_F(TextTest, EveryStatusTextFitsTheStatusLine) {
    HDC canvas = ::CreateCompatibleDC(nullptr);
    for (unsigned id :
         {131, 132, 133, 135, 137, 138, 141, 142, 144, 145, 146, 147, 148, 149, 150}) {
        std::string text;
        Rect box{0, 0, 640, 25};
        EXPECT_TRUE(os_.LoadStringA(id, text));
        os_.DrawTextA(reinterpret_cast<DcHandle>(canvas), text, box, DT_CALCRECT);
        EXPECT_LE(box.right, 640) << id;
    }
    ::DeleteDC(canvas);
}

TEST_F(TextTest, SystemLocaleFollowsTheSession) {
    EXPECT_EQ(os_.GetSystemDefaultLCID(), korean_ ? 1042u : 1033u);
}

}  // namespace
}  // namespace platform
