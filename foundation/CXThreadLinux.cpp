// Thread creation on pthreads: detached threads with the platform's default stack (the 4096 bytes
// a Windows thread is given are only its first commit), named with pthread_setname_np, whose
// names are cut to 15 bytes.
#include "foundation/CXThread.h"

#include "foundation/CXCrashHandler.h"

#include <cstring>
#include <pthread.h>

namespace {

struct StartRecord {
    void (*body)(void*);
    void* argument;
};

void* StartRoutine(void* record)
{
    StartRecord start = *static_cast<StartRecord*>(record);
    delete static_cast<StartRecord*>(record);
    void* alternateStack = CXCrashHostEnterThread();
    start.body(start.argument);
    CXCrashHostLeaveThread(alternateStack);
    return nullptr;
}

} // namespace

bool CXThreadHostStart(void (*body)(void*), void* argument)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    StartRecord* record = new StartRecord{body, argument};
    pthread_t thread;
    int error = pthread_create(&thread, &attributes, StartRoutine, record);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete record;
        return false;
    }
    return true;
}

void CXThreadHostSetName(const char* name)
{
    char cut[16] = {};
    std::strncpy(cut, name != nullptr ? name : "", sizeof cut - 1);
    pthread_setname_np(pthread_self(), cut);
}
