#pragma once

#include <cstdint>

class ScrollAxisRef;

// Scrolling is state shared by the things that scroll together: a content view, its frame and its
// scroll bars. Each of them owns one ScrollAxisRef per axis; axes that belong together are linked
// into a ring, which has one range (minimum, maximum, page) and, normally, one position. Every
// member of a ring is a Scrollable client: it states the range it needs, the ring combines them,
// and every change is told to every member.
//
// A client embeds one ScrollAxisRef per direction, made with itself as the client, and links it
// with the axes it scrolls with (AddClient). It answers GetAxisRange for its axes (false when it
// needs no range), calls Recompute when the range it needs changed and SetPosition or ScrollBy
// when the user scrolls; a client that shows the position (a scroll bar) reads the values back
// in the two notifications. Everything here runs on the main thread; nothing is locked.
class Scrollable {
public:
    Scrollable() = default;
    virtual ~Scrollable() = default;
    Scrollable(const Scrollable&) = delete;
    Scrollable& operator=(const Scrollable&) = delete;

    // The range this client needs on `axis` (one of its own axes): fills the three values and
    // answers true when they count. A value that is not a number counts as not given; infinite
    // values count. The default needs nothing (false). Called whenever a ring is combined; it
    // should only measure. A Recompute of `axis` from here is taken into the running
    // combination; a ring changed from here (linked, unlinked, an axis destroyed) makes the
    // combination that asked start over once that change has been delivered.
    [[nodiscard]] virtual bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum,
                                            double& page);
    // The ring's range or page changed: `axis` already holds the new values. For one change this
    // comes before AxisPositionChanged of the same axis.
    virtual void AxisRangeChanged(ScrollAxisRef& axis);
    // The position stored on `axis` changed: it already holds the new position.
    virtual void AxisPositionChanged(ScrollAxisRef& axis);
};

// One axis of a Scrollable, embedded in its owner (the client) and linked into a ring with the
// axes that scroll together. A new axis is a ring of one with range, page and position 0.
//
// Values: every range, page and position is a double and is never NaN: positions that are not a
// number are refused, and range values that are not a number are ignored. They can be infinite
// or beyond any integer range (an unclamped axis, or a client that answers an infinite range): a
// reader that needs an integer clamps the double first. The combined range always holds 0
// (minimum <= 0 <= maximum) and the page is never negative.
//
// Notifications: a change stores its values on every member first; only then is each member
// whose stored values changed told, in ring order starting at the axis the change went through
// (for one member: range first, then position). A client being told therefore reads the values
// of that change or newer ones. Changes made from inside a notification or a range query take
// effect at once (a position, a link, an unlink, a destroyed axis) or, for a recombination, run
// once the handler has returned; their notifications too wait until then, and the outermost call
// delivers them in order. So handlers never nest, and a member still waiting to be told is
// told once for all the changes up to then. An axis destroyed meanwhile is not told; one that
// left its ring is still told of what changed on it before it left. A client that changes the
// position from every notification is told again each time, so it must settle (on a clamped ring
// it does at the range's end).
//
// Lifetime: an axis that is destroyed leaves its ring first (as DetachClient), so its owner may
// simply let it go; the rest of the ring is recombined without it. The client must outlive its
// axis or detach it before it dies: an axis embedded in its client does so by itself.
class ScrollAxisRef {
public:
    // A ring of one for `client` (borrowed; may be null for an axis that only stores values).
    explicit ScrollAxisRef(Scrollable* client);
    // Leaves the ring as DetachClient does.
    ~ScrollAxisRef();
    ScrollAxisRef(const ScrollAxisRef&) = delete;
    ScrollAxisRef& operator=(const ScrollAxisRef&) = delete;

    // Joins the ring of `other` into this axis's ring (the members of other's ring follow this
    // axis, other first), then recombines through this axis. The members keep their positions
    // unless this axis's position has to be clamped to the new range, which then goes to every
    // member. Nothing when `other` is this axis or already in its ring; a null `other` is
    // reported and joins nothing.
    void AddClient(ScrollAxisRef* other);
    // Combines the ranges of the ring: the largest maximum and page and the smallest minimum of
    // the clients that answer, starting from 0, 0, 0. When this axis is clamped and its position
    // lies outside the new range, the position becomes the nearest end on every member. Clients
    // call it when the range they need changed.
    void Recompute();
    // Sets the ring's position: clamped to this axis's range unless this axis is unclamped, then
    // stored on every member. Members whose position differed are told. A NaN is reported and
    // changes nothing.
    void SetPosition(double position);
    // SetPosition(position + delta).
    void ScrollBy(double delta);
    // Leaves the ring: the rest of the ring and this axis each become a ring of their own, and
    // both are recombined (the rest through this axis's former successor).
    void Unlink();
    // Forgets the client (it is never asked or told again through this axis), then Unlink.
    void DetachClient();

    // When set, a position set through this axis is not clamped to the range.
    void SetUnclamped(bool unclamped) { fUnclamped = unclamped; }
    bool IsUnclamped() const { return fUnclamped; }

    Scrollable* GetClient() const { return fClient; }
    double GetMinimum() const { return fMinimum; }
    double GetMaximum() const { return fMaximum; }
    double GetPage() const { return fPage; }
    double GetPosition() const { return fPosition; }
    // The ring's neighbours; an axis alone is its own.
    const ScrollAxisRef* GetNext() const { return fNext; }
    const ScrollAxisRef* GetPrevious() const { return fPrevious; }

private:
    // What an axis still has to do once the running notification has returned.
    enum Pending : uint8_t {
        kRecombine = 1,
        kTellRange = 2,
        kTellPosition = 4,
    };

    bool IsLinkedWith(const ScrollAxisRef& other) const;
    // Takes the axis out of its ring (a ring of one afterwards); answers the former successor, or
    // null when it was alone.
    ScrollAxisRef* LeaveRing();
    // The combination itself, run from the queue.
    void Combine();
    void StoreCombined(double minimum, double maximum, double page);

    void Enqueue(uint8_t pending);
    void Dequeue();
    static void ProcessFront();
    // Delivers what is queued, unless a delivery is already running further up the stack.
    static void Flush();

    ScrollAxisRef* fNext;
    ScrollAxisRef* fPrevious;
    Scrollable* fClient;
    double fMaximum = 0;
    double fMinimum = 0;
    double fPage = 0;
    double fPosition = 0;
    bool fUnclamped = false;

    // The place in the thread's delivery queue while something is pending.
    ScrollAxisRef* fQueueNext = nullptr;
    ScrollAxisRef* fQueuePrevious = nullptr;
    bool fQueued = false;
    uint8_t fPending = 0;
};
