#include "toolkit/ScrollAxisRef.h"

#include "foundation/CXDebug.h"

#include <cmath>

bool Scrollable::GetAxisRange(const ScrollAxisRef&, double&, double&, double&)
{
    return false;
}

void Scrollable::AxisRangeChanged(ScrollAxisRef&) {}

void Scrollable::AxisPositionChanged(ScrollAxisRef&) {}

namespace {

// The delivery queue of the main thread: axes with something pending, in the order it arose.
// Nothing calls a client except the loop in Flush, so a client's handler never runs inside
// another's and no ring walk ever calls out while it holds a member.
struct Delivery {
    ScrollAxisRef* first = nullptr;
    ScrollAxisRef* last = nullptr;
    bool running = false;
    // Counts every change of a ring's shape and every axis destroyed, so that a combination that
    // asked a client can tell whether the members it holds are still linked and alive.
    uint64_t shapeChanges = 0;
    // The axis whose combination is asking a client; cleared when it is destroyed meanwhile.
    ScrollAxisRef* combining = nullptr;
    // The member whose client is being asked for its range.
    const ScrollAxisRef* asking = nullptr;
};

Delivery gDelivery;

// NaN compares unequal to everything, so a NaN stored value always counts as changed; stored
// values are never NaN in practice.
bool Differs(double a, double b)
{
    return !(a == b);
}

} // namespace

ScrollAxisRef::ScrollAxisRef(Scrollable* client) : fNext(this), fPrevious(this), fClient(client) {}

ScrollAxisRef::~ScrollAxisRef()
{
    Dequeue();
    if (gDelivery.combining == this)
        gDelivery.combining = nullptr;
    if (gDelivery.asking == this)
        gDelivery.asking = nullptr;
    fClient = nullptr;
    ScrollAxisRef* rest = LeaveRing();
    if (rest == nullptr)
        return;
    rest->Enqueue(kRecombine);
    Flush();
}

bool ScrollAxisRef::IsLinkedWith(const ScrollAxisRef& other) const
{
    const ScrollAxisRef* member = this;
    do {
        if (member == &other)
            return true;
        member = member->fNext;
    } while (member != this);
    return false;
}

void ScrollAxisRef::AddClient(ScrollAxisRef* other)
{
    if (other == nullptr) {
        CXDebugError("ScrollAxisRef::AddClient> null reference");
        return;
    }
    if (IsLinkedWith(*other))
        return;
    ++gDelivery.shapeChanges;
    ScrollAxisRef* oldNext = fNext;
    ScrollAxisRef* otherLast = other->fPrevious;
    fNext = other;
    other->fPrevious = this;
    otherLast->fNext = oldNext;
    oldNext->fPrevious = otherLast;
    Recompute();
}

void ScrollAxisRef::Recompute()
{
    // Asked from this axis's own range query: the running combination takes its answer.
    if (gDelivery.asking == this)
        return;
    Enqueue(kRecombine);
    Flush();
}

void ScrollAxisRef::SetPosition(double position)
{
    if (std::isnan(position)) {
        CXDebugError("ScrollAxisRef::SetPosition> not a number");
        return;
    }
    if (!fUnclamped) {
        if (position > fMaximum)
            position = fMaximum;
        else if (position < fMinimum)
            position = fMinimum;
    }
    ScrollAxisRef* member = this;
    do {
        if (Differs(member->fPosition, position)) {
            member->fPosition = position;
            member->Enqueue(kTellPosition);
        }
        member = member->fNext;
    } while (member != this);
    Flush();
}

void ScrollAxisRef::ScrollBy(double delta)
{
    SetPosition(fPosition + delta);
}

void ScrollAxisRef::Unlink()
{
    ScrollAxisRef* rest = LeaveRing();
    if (rest != nullptr)
        rest->Enqueue(kRecombine);
    Enqueue(kRecombine);
    Flush();
}

void ScrollAxisRef::DetachClient()
{
    fClient = nullptr;
    Unlink();
}

ScrollAxisRef* ScrollAxisRef::LeaveRing()
{
    ++gDelivery.shapeChanges;
    if (fNext == this)
        return nullptr;
    ScrollAxisRef* rest = fNext;
    fPrevious->fNext = fNext;
    fNext->fPrevious = fPrevious;
    fNext = this;
    fPrevious = this;
    return rest;
}

void ScrollAxisRef::Combine()
{
    double minimum = 0;
    double maximum = 0;
    double page = 0;
    const uint64_t shape = gDelivery.shapeChanges;
    ScrollAxisRef* member = this;
    do {
        Scrollable* client = member->fClient;
        double low = 0, high = 0, extent = 0;
        gDelivery.combining = this;
        gDelivery.asking = member;
        const bool counts = client != nullptr && client->GetAxisRange(*member, low, high, extent);
        ScrollAxisRef* survivor = gDelivery.combining;
        gDelivery.combining = nullptr;
        gDelivery.asking = nullptr;
        if (gDelivery.shapeChanges != shape) {
            // The members held here may be gone: start over once the changes are delivered.
            if (survivor != nullptr)
                survivor->Enqueue(kRecombine);
            return;
        }
        // Comparisons with NaN are false, so a value that is not a number is passed over.
        if (counts) {
            if (high > maximum)
                maximum = high;
            if (low < minimum)
                minimum = low;
            if (extent > page)
                page = extent;
        }
        member = member->fNext;
    } while (member != this);
    StoreCombined(minimum, maximum, page);
}

void ScrollAxisRef::StoreCombined(double minimum, double maximum, double page)
{
    double position = fPosition;
    bool clamped = false;
    if (!fUnclamped && position > maximum) {
        position = maximum;
        clamped = true;
    } else if (!fUnclamped && position < minimum) {
        position = minimum;
        clamped = true;
    }
    ScrollAxisRef* member = this;
    do {
        uint8_t tell = 0;
        if (Differs(member->fMaximum, maximum) || Differs(member->fMinimum, minimum) ||
            Differs(member->fPage, page)) {
            member->fMaximum = maximum;
            member->fMinimum = minimum;
            member->fPage = page;
            tell |= kTellRange;
        }
        if (clamped && Differs(member->fPosition, position)) {
            member->fPosition = position;
            tell |= kTellPosition;
        }
        if (tell != 0)
            member->Enqueue(tell);
        member = member->fNext;
    } while (member != this);
}

void ScrollAxisRef::Enqueue(uint8_t pending)
{
    fPending |= pending;
    if (fQueued)
        return;
    fQueued = true;
    fQueueNext = nullptr;
    fQueuePrevious = gDelivery.last;
    if (gDelivery.last != nullptr)
        gDelivery.last->fQueueNext = this;
    else
        gDelivery.first = this;
    gDelivery.last = this;
}

void ScrollAxisRef::Dequeue()
{
    fPending = 0;
    if (!fQueued)
        return;
    if (fQueuePrevious != nullptr)
        fQueuePrevious->fQueueNext = fQueueNext;
    else
        gDelivery.first = fQueueNext;
    if (fQueueNext != nullptr)
        fQueueNext->fQueuePrevious = fQueuePrevious;
    else
        gDelivery.last = fQueuePrevious;
    fQueueNext = nullptr;
    fQueuePrevious = nullptr;
    fQueued = false;
}

void ScrollAxisRef::ProcessFront()
{
    // One step per call: the step may destroy the axis, so nothing touches it afterwards.
    ScrollAxisRef* axis = gDelivery.first;
    if (axis->fPending == 0) {
        axis->Dequeue();
        return;
    }
    uint8_t step = kTellPosition;
    if ((axis->fPending & kRecombine) != 0)
        step = kRecombine;
    else if ((axis->fPending & kTellRange) != 0)
        step = kTellRange;
    axis->fPending &= static_cast<uint8_t>(~step);
    if (axis->fPending == 0)
        axis->Dequeue();

    if (step == kRecombine) {
        axis->Combine();
        return;
    }
    Scrollable* client = axis->fClient;
    if (client == nullptr)
        return;
    if (step == kTellRange)
        client->AxisRangeChanged(*axis);
    else
        client->AxisPositionChanged(*axis);
}

void ScrollAxisRef::Flush()
{
    if (gDelivery.running)
        return;
    struct Running {
        Running() { gDelivery.running = true; }
        ~Running() { gDelivery.running = false; }
    } running;
    while (gDelivery.first != nullptr)
        ProcessFront();
}
