// Installs a fresh platform double for each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "tests/fake/FakePlatform.h"

class FakeFixture : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallPlatform(&os); }
    void TearDown() override { platform::InstallPlatform(nullptr); }

    fake::FakePlatform os;
};
