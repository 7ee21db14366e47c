// A thread object: runs InitInstance on a new thread and deletes itself when
// that returns false. The program's threads have no message loop.
#pragma once

class CWinThread {
public:
    CWinThread() = default;
    virtual ~CWinThread() = default;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    virtual bool InitInstance() = 0;
    virtual int ExitInstance() { return 0; }

    // Starts the thread (runs at once, default stack, no security
    // attributes). False when it cannot be created; the object is then the
    // caller's to discard. On success the object belongs to its thread.
    bool CreateThread();

    bool m_bAutoDelete = true;

private:
    static void ThreadMain(void* argument);
};
