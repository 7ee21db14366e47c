// Installs a fresh platform double for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "tests/fake/FakePlatform.h"

// A call as the double records it, built from named numbers:
// Trace("SetTimer", TIMER_EXIT, 3000) is "SetTimer 3935 3000".
template <class... Numbers>
std::string Trace(const std::string& call, Numbers... numbers) {
    std::string text = call;
    ((text += " " + std::to_string(numbers)), ...);
    return text;
}

// Installs a double of its own for one row of a table while it lives, and
// the fixture's double again when it goes, also when an assertion ends the
// row early.
class InstalledFor {
public:
    InstalledFor(fake::FakePlatform& row, fake::FakePlatform& after) : after_(after) {
        platform::InstallPlatform(&row);
    }
    ~InstalledFor() { platform::InstallPlatform(&after_); }
    InstalledFor(const InstalledFor&) = delete;
    InstalledFor& operator=(const InstalledFor&) = delete;

private:
    fake::FakePlatform& after_;
};

class FakeFixture : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallPlatform(&os); }
    void TearDown() override { platform::InstallPlatform(nullptr); }

    fake::FakePlatform os;
};
