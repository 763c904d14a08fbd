#include "win32/backend/x11/X11System.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace win32::x11 {

WakeCounter::WakeCounter() : fFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

WakeCounter::~WakeCounter()
{
    if (fFd >= 0)
        close(fFd);
}

void WakeCounter::Signal()
{
    uint64_t one = 1;
    while (write(fFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeCounter::Drain()
{
    uint64_t count;
    while (read(fFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void WaitForEither(int connection, int counter, int timeoutMs)
{
    pollfd fds[2] = {{connection, POLLIN, 0}, {counter, POLLIN, 0}};
    poll(fds, 2, timeoutMs);
}

int CreateSegment(size_t size, void** address)
{
    int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (id < 0)
        return -1;
    void* mapped = shmat(id, nullptr, 0);
    if (mapped == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return -1;
    }
    *address = mapped;
    return id;
}

void MarkSegmentRemoved(int id)
{
    shmctl(id, IPC_RMID, nullptr);
}

void DetachSegment(void* address)
{
    shmdt(address);
}

} // namespace win32::x11
