#include "foundation/CXMutex.h"
#include "win32/core/Core.h"

#include <deque>

namespace win32::core {

namespace {

struct InputQueue {
    CXMutex lock;
    std::deque<InputEvent> events;
};

InputQueue& Queue()
{
    static InputQueue* queue = new InputQueue();
    return *queue;
}

} // namespace

void PushInput(const InputEvent& event)
{
    InputQueue& queue = Queue();
    {
        CXMutexLocker locker(&queue.lock);
        queue.events.push_back(event);
    }
    if (Backend* backend = GetBackend())
        backend->Wake();
}

bool PeekInput(InputEvent* event)
{
    InputQueue& queue = Queue();
    CXMutexLocker locker(&queue.lock);
    if (queue.events.empty())
        return false;
    *event = queue.events.front();
    return true;
}

void PopInput()
{
    InputQueue& queue = Queue();
    CXMutexLocker locker(&queue.lock);
    if (!queue.events.empty())
        queue.events.pop_front();
}

void MergeMouseMoves()
{
    InputQueue& queue = Queue();
    CXMutexLocker locker(&queue.lock);
    while (queue.events.size() >= 2 && queue.events[0].kind == InputEvent::Kind::MouseMove &&
           queue.events[1].kind == InputEvent::Kind::MouseMove)
        queue.events.pop_front();
}

void ClearInput()
{
    InputQueue& queue = Queue();
    CXMutexLocker locker(&queue.lock);
    queue.events.clear();
}

} // namespace win32::core
