// A copied owner would release its handle twice, so no owner copies. None
// moves either, since no caller needs it: allow a move here only with a case
// that counts the releases.
#include <gtest/gtest.h>

#include <type_traits>

#include "platform/Scoped.h"
#include "ui/BiosUpdateDlg.h"
#include "ui/MemoryDc.h"

namespace {

template <class Owner>
constexpr bool kSoleOwner =
    !std::is_copy_constructible_v<Owner> && !std::is_copy_assignable_v<Owner> &&
    !std::is_move_constructible_v<Owner> && !std::is_move_assignable_v<Owner>;

template <class... Owners>
constexpr bool kAllSole = (kSoleOwner<Owners> && ...);

TEST(Owners, NeitherCopyNorMove) {
    static_assert(
        kAllSole<platform::ScopedRegKey, platform::AutoCloseHandle, platform::ScopedGdiObject,
                 platform::ScopedComPtr, platform::ScopedBstr, platform::ScopedGetDC,
                 platform::ScopedPaint, platform::ScopedLock, CMemoryDc, CDialog, CBiosUpdateDlg>);
}

}  // namespace
