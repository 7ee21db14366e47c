// How the update screen keeps its place at each tick: over the whole display
// and in front of everything but the flash utility's own windows, which the
// user must see and answer.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "ui/FrontPlan.h"

class CScreenKeeper {
public:
    CScreenKeeper();
    CScreenKeeper(const CScreenKeeper&) = delete;
    CScreenKeeper& operator=(const CScreenKeeper&) = delete;

    // The screen over the whole display, topmost, shown and activated.
    static void CoverScreen(platform::WindowHandle screen);
    // Once a tick: the screen in front of everything but the utility's shown
    // windows, which stand above it, the top one with the focus.
    void KeepInFront(platform::WindowHandle screen);
    // From the worker's thread: the processes the utility runs as; empty once
    // it has ended.
    void ShowUtilityProcesses(const std::vector<unsigned long>& processIds);

private:
    std::vector<unsigned long> CopyUtilityProcesses() const;
    // display: the one the screen covers.
    std::vector<platform::TopLevelWindow> ListWindows(platform::WindowHandle screen,
                                                      const std::vector<unsigned long>& utility,
                                                      const platform::Rect& display);
    static void MakeRoomFor(platform::WindowHandle screen, const platform::Rect& display,
                            const ui::FrontPlan& plan);

    // The utility's processes, only under m_pProcessLock.
    std::unique_ptr<platform::Lock> m_pProcessLock;
    std::vector<unsigned long> m_arrUtilityProcesses;
    // The last look at the windows: for which processes, whether it found a
    // window of theirs, and the ticks until the next.
    static constexpr int kTicksPerLook = 3;
    std::vector<unsigned long> m_arrLookedFor;
    bool m_bUtilityShown = false;
    int m_nTicksToLook = 0;
    // The process of each top-level window seen at the last look.
    std::map<platform::WindowHandle, unsigned long> m_mapWindowProcess;
};
