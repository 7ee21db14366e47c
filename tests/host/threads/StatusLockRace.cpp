// The worker replaces the status line while the painter copies it: built with
// ThreadSanitizer, any access outside the status lock is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "tests/fake/FakePlatform.h"
#include "ui/BiosUpdateDlg.h"

namespace {

TEST(StatusLock, PainterSeesOnlyWholeTexts) {
    fake::FakePlatform os;
    platform::InstallPlatform(&os);
    {
        CBiosUpdateDlg dialog(nullptr);
        const std::string first(300, 'a');
        const std::string second = "BIOS is updating now. This will take approximately 3 minutes";
        dialog.ShowStatus(first);

        std::atomic<bool> done{false};
        std::atomic<int> torn{0};
        std::thread painter([&] {
            while (!done.load()) {
                std::string copy = dialog.CopyStatus();
                if (copy != first && copy != second) ++torn;
            }
        });
        for (int i = 0; i < 20000; ++i) dialog.ShowStatus(i % 2 ? first : second);
        done = true;
        painter.join();
        EXPECT_EQ(torn.load(), 0);
    }
    platform::InstallPlatform(nullptr);
}

}  // namespace
