#include <gtest/gtest.h>

#include "update/Identifier.h"

namespace {

using update::Outcome;

TEST(Revision, ReadsUpToEightHexCharactersFromPositionSeven) {
    EXPECT_EQ(update::ReadRevision("K38KRPA24"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA1F"), 0x1F);
    EXPECT_EQ(update::ReadRevision("K38KRPA240"), 0x240);
    EXPECT_EQ(update::ReadRevision("K38KRPA24.01"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA0024"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA123456789"), 0x12345678);  // ninth digit ignored
}

TEST(Revision, AcceptsBlanksSignAndPrefixLikeStrtol) {
    EXPECT_EQ(update::ReadRevision("K38KRPA  24"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA\t+24"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA-24"), -0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA0x24"), 0x24);
    EXPECT_EQ(update::ReadRevision("K38KRPA0X1f"), 0x1F);
    EXPECT_EQ(update::ReadRevision("K38KRPA0xZZ"), 0);  // the 0 is the number
    EXPECT_EQ(update::ReadRevision("K38KRPA- 5"), 0);
}

TEST(Revision, WithoutADigitReadsZero) {
    for (const char* id : {"", "K38K", "K38KR", "K38KRPA", "K38KRPAZZ", "K38KRPA.24", "K38KRPA+"}) {
        EXPECT_EQ(update::ReadRevision(id), 0) << id;
    }
}

TEST(Revision, ClampsToThirtyTwoBits) {
    EXPECT_EQ(update::ReadRevision("K38KRPAFFFFFFFF"), 2147483647);
    EXPECT_EQ(update::ReadRevision("K38KRPA80000000"), 2147483647);
    EXPECT_EQ(update::ReadRevision("K38KRPA7FFFFFFF"), 2147483647);
    EXPECT_EQ(update::ReadRevision("K38KRPA-FFFFFFF"), -0xFFFFFFF);
}

TEST(PlatformCode, IsTheFirstFiveCharacters) {
    EXPECT_EQ(update::PlatformCode("K38KRPA24"), "K38KR");
    EXPECT_EQ(update::PlatformCode("K38K"), "K38K");
    EXPECT_EQ(update::PlatformCode(""), "");
}

TEST(Compare, ReachesEachOutcome) {
    const std::string packaged = update::kPackagedIdentifier;
    struct Case {
        const char* running;
        Outcome outcome;
    } cases[] = {
        {"K38KRPA24", Outcome::SameVersion},        {"K38KRXY24", Outcome::SameVersion},
        {"K38KRPA24.01", Outcome::SameVersion},     {"K38KRPA0024", Outcome::SameVersion},
        {"K38KRPA23", Outcome::PackageNewer},       {"K38KRPA1F", Outcome::PackageNewer},
        {"K38KRPA", Outcome::PackageNewer},         {"K38KR", Outcome::PackageNewer},
        {"K38KRPAZZ", Outcome::PackageNewer},       {"K38KRPA-1", Outcome::PackageNewer},
        {"K38KRPA2A", Outcome::PackageOlder},       {"K38KRPA240", Outcome::PackageOlder},
        {"K38KRPAFFFFFFFF", Outcome::PackageOlder}, {"K38KQPA24", Outcome::OtherPlatform},
        {"K38K", Outcome::OtherPlatform},           {"", Outcome::OtherPlatform},
        {"k38krpa24", Outcome::OtherPlatform},  // the caller upper-cases first
    };
    for (const Case& c : cases)
        EXPECT_EQ(update::Compare(c.running, packaged), c.outcome) << c.running;
}

}  // namespace
