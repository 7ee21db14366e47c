#include <string>

#include "tests/host/FakeFixture.h"
#include "ui/BiosUpdateDlg.h"

namespace {

platform::Variant Text(const std::u16string& text) {
    platform::Variant value;
    value.type = platform::Variant::Type::String;
    value.text = text;
    return value;
}

class IdentityFixture : public FakeFixture {
protected:
    std::string Query() {
        CBiosUpdateDlg dialog(nullptr);
        dialog.QueryIdentity();
        std::string version = dialog.BiosVersion();
        return version;  // the dialog's destruction releases what it holds
    }
};

TEST_F(IdentityFixture, ReadsTheVersionUpperCasedWithEverythingElseUnchanged) {
    os.biosInstances = {Text(u"k38krpa23 v1.0-b_x")};
    EXPECT_EQ(Query(), "K38KRPA23 V1.0-B_X");
    os.biosInstances = {Text(u"K38KRPA24.01")};
    EXPECT_EQ(Query(), "K38KRPA24.01");
    EXPECT_EQ(os.LiveComObjects(), 0);
    EXPECT_EQ(os.LiveBstrs(), 0);
}

TEST_F(IdentityFixture, FollowsTheCallsAsWmiExpectsThem) {
    Query();
    EXPECT_EQ(os.CountCalls("ConnectServer \\\\.\\root\\cimv2"), 1);
    EXPECT_EQ(os.CountCalls("CreateInstanceEnum flags=0"), 1);
    EXPECT_EQ(os.CountCalls("EnumNext timeout=2000 count=1"), 1);
    EXPECT_EQ(os.CountCalls("GetProperty flags=0"), 1);
    // The value is cleared before the read and again when the dialog goes.
    EXPECT_EQ(os.CountCalls("VariantClear"), 2);
}

TEST_F(IdentityFixture, OnlyTheFirstInstanceCounts) {
    os.biosInstances = {Text(u"first"), Text(u"second")};
    EXPECT_EQ(Query(), "FIRST");
}

TEST_F(IdentityFixture, TheValueEndsAtItsFirstNul) {
    os.biosInstances = {Text(std::u16string(u"K38KRPA23\0junk", 14))};
    EXPECT_EQ(Query(), "K38KRPA23");
}

TEST_F(IdentityFixture, EveryFailureLeavesTheTextEmptyAndEveryReferenceReleased) {
    for (fake::WmiFailure failure :
         {fake::WmiFailure::Locator, fake::WmiFailure::Connect, fake::WmiFailure::Enumeration,
          fake::WmiFailure::FetchTimeout, fake::WmiFailure::NoObjects,
          fake::WmiFailure::PropertyRead, fake::WmiFailure::Allocation}) {
        SCOPED_TRACE(static_cast<int>(failure));
        os.wmiFailure = failure;
        EXPECT_EQ(Query(), "");
        EXPECT_EQ(os.LiveComObjects(), 0);
        EXPECT_EQ(os.LiveBstrs(), 0);
        EXPECT_TRUE(os.messageBoxes.empty());
    }
}

TEST_F(IdentityFixture, NoInstanceAtAllReadsEmpty) {
    os.biosInstances.clear();
    EXPECT_EQ(Query(), "");
    EXPECT_EQ(os.LiveComObjects(), 0);
}

TEST_F(IdentityFixture, ANonStringValueReadsEmpty) {
    platform::Variant number;
    number.type = platform::Variant::Type::Other;
    number.otherType = 3;  // VT_I4
    platform::Variant nullString;
    nullString.type = platform::Variant::Type::NullString;
    for (const platform::Variant& value : {number, nullString}) {
        os.biosInstances = {value};
        EXPECT_EQ(Query(), "");
    }
    EXPECT_EQ(os.LiveComObjects(), 0);
}

TEST_F(IdentityFixture, ReferencesStayHeldUntilTheDialogGoes) {
    {
        CBiosUpdateDlg dialog(nullptr);
        dialog.QueryIdentity();
        EXPECT_EQ(os.LiveComObjects(), 3);  // services, enumerator, object; the locator is gone
        dialog.QueryIdentity();             // a second query replaces, never leaks
        EXPECT_EQ(os.LiveComObjects(), 3);
    }
    EXPECT_EQ(os.LiveComObjects(), 0);
}

}  // namespace
