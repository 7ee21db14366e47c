#include "platform/framework/CWinThread.h"

#include "platform/Platform.h"

bool CWinThread::CreateThread() {
    return platform::Os().StartThread(&CWinThread::ThreadMain, this);
}

void CWinThread::ThreadMain(void* argument) {
    CWinThread* thread = static_cast<CWinThread*>(argument);
    // Without a message loop a thread ends after InitInstance whatever it says.
    thread->InitInstance();
    thread->ExitInstance();
    if (thread->m_bAutoDelete) delete thread;
}
