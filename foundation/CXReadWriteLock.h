#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXMutex.h"

#include <cstdint>
#include <map>

// A lock for many readers or one writer. A waiting writer blocks new readers (except threads that
// already read, and the writer itself); writers queue on a recursive lock; a thread may take read
// locks again, and the writer may also read. A reader asking for the write lock is reported: it
// waits for the other readers, which may never leave.
class CXReadWriteLock {
public:
    CXReadWriteLock();
    ~CXReadWriteLock();
    CXReadWriteLock(const CXReadWriteLock&) = delete;
    CXReadWriteLock& operator=(const CXReadWriteLock&) = delete;

    void LockForRead();
    void UnlockForRead();
    void LockForWrite();
    void UnlockForWrite();
    void Lock(bool write) { write ? LockForWrite() : LockForRead(); }
    void Unlock(bool write) { write ? UnlockForWrite() : UnlockForRead(); }

    // Read locks held by the calling thread.
    int32_t GetReadDepth();
    // Threads holding read locks beyond the four inline slots.
    size_t GetOverflowReaders();

private:
    struct ReaderSlot {
        int64_t thread;
        int32_t count;
    };
    // With the guard held: the caller's read count, or null.
    int32_t* FindReader(int64_t thread);
    bool AddReader(int64_t thread);
    void DropReader(int64_t thread);

    CXEvent fReadersGone;
    CXEvent fWritersGone;
    CXCriticalSection fGuard;
    int32_t fReadCount = 0;
    int32_t fWriterCount = 0;
    int32_t fWriteDepth = 0;
    CXRecursiveMutex fWriteMutex;
    int64_t fWriter = -1;
    int32_t fInlineUsed = 0;
    ReaderSlot fInline[4] = {};
    std::map<int64_t, int32_t> fOverflow;
};

// Locks an object address for the calling thread until Unlock or destruction. Re-entrant for the
// owner; all objects share one condition, so every unlock wakes every waiter. A null object locks
// nothing.
class CXScopeLockPointer {
public:
    explicit CXScopeLockPointer(const void* object);
    ~CXScopeLockPointer() { Unlock(); }
    CXScopeLockPointer(const CXScopeLockPointer&) = delete;
    CXScopeLockPointer& operator=(const CXScopeLockPointer&) = delete;

    void Unlock();

private:
    const void* fObject;
    int64_t fThread;
};
