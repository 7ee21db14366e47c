// Threads, locks and the single-instance mutex.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

struct Counter {
    Lock* lock = nullptr;
    int value = 0;
    LONG running = 0;
    HANDLE finished = nullptr;
};

// Read, yield now and then, write: without the lock updates get lost.
void CountUnderLock(void* argument) {
    auto* counter = static_cast<Counter*>(argument);
    for (int i = 0; i < 20000; ++i) {
        counter->lock->Enter();
        int value = counter->value;
        if (i % 97 == 0) ::SwitchToThread();
        counter->value = value + 1;
        counter->lock->Leave();
    }
    if (::InterlockedDecrement(&counter->running) == 0) ::SetEvent(counter->finished);
}

struct ThreadRecord {
    void* argument = nullptr;
    DWORD threadId = 0;
    HANDLE ran = nullptr;
};

void RecordThread(void* argument) {
    auto* record = static_cast<ThreadRecord*>(argument);
    record->argument = argument;
    record->threadId = ::GetCurrentThreadId();
    ::SetEvent(record->ran);
}

TEST(ThreadTest, StartThreadRunsTheEntryOnANewThread) {
    Win32Platform os;
    ThreadRecord record;
    record.ran = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(os.StartThread(RecordThread, &record));
    ASSERT_EQ(::WaitForSingleObject(record.ran, 10000), WAIT_OBJECT_0);
    ::CloseHandle(record.ran);
    EXPECT_EQ(record.argument, &record);
    EXPECT_NE(record.threadId, 0u);
    EXPECT_NE(record.threadId, ::GetCurrentThreadId());
}

TEST(ThreadTest, LockKeepsConcurrentUpdatesWhole) {
    Win32Platform os;
    std::unique_ptr<Lock> lock = os.CreateLock();
    Counter counter;
    counter.lock = lock.get();
    counter.running = 4;
    counter.finished = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(os.StartThread(CountUnderLock, &counter));
    ASSERT_EQ(::WaitForSingleObject(counter.finished, 60000), WAIT_OBJECT_0);
    ::CloseHandle(counter.finished);
    EXPECT_EQ(counter.value, 4 * 20000);
}

TEST(InstanceMutexTest, SecondCreationFindsTheFirst) {
    const std::string name = "BIOSUpdate platform test " + std::to_string(::GetCurrentProcessId());
    Win32Platform first;
    EXPECT_EQ(first.CreateInstanceMutex(name), MutexResult::Created);
    Win32Platform second;
    EXPECT_EQ(second.CreateInstanceMutex(name), MutexResult::AlreadyExists);
    EXPECT_EQ(second.CreateInstanceMutex(name + " other"), MutexResult::Created);
    // A name taken by another kind of object cannot be a mutex.
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, (name + " event").c_str());
    EXPECT_EQ(second.CreateInstanceMutex(name + " event"), MutexResult::Failed);
    ::CloseHandle(event);
}

TEST(SystemTest, ErrorModeFlagsAreAdded) {
    Win32Platform os;
    UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    os.AddErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(::GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS |
                                                  SEM_NOOPENFILEERRORBOX));
    ::SetErrorMode(before);
}

}  // namespace
}  // namespace platform
