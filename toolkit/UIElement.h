#pragma once

#include "foundation/CXLinkedList.h"
#include "foundation/CXMessage.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "toolkit/Box2i.h"

#include <cstdint>
#include <functional>
#include <vector>

class RazaRegion;
class UIAppearance;
class UIAppearanceImplementation;
class UIElement;
struct UIScrollWheelEvent;

// The node that puts an element into its parent's child list; it knows the element it belongs to.
class UIElementSiblingLink : public CXLinkedListNode {
public:
    explicit UIElementSiblingLink(UIElement* owner) : fOwner(owner) {}
    UIElement* GetOwner() const { return fOwner; }

private:
    UIElement* fOwner;
};

// A node of the widget tree: every control, window, sheet and page is one. An element has a frame
// in its parent's coordinates, computed from anchored offsets; an ordered list of children it
// does not own by reference; a visible flag; and a two-phase life: construction, Init (which
// makes the system context) and Destroy. Named messages travel from an element to its handlers
// and then up through its ancestors.
//
// Elements belong to the main thread; nothing here takes a lock. Misuse is reported and answered
// with a safe default. Every live element is listed in a process-wide registry, checked for
// leaks at exit (DebugCheckLeaks).
class UIElement : public CXMessageTarget {
public:
    // Answers a message; -2 passes it on.
    using MessageHandler = std::function<CXResultCode(const CXMessage&)>;

    UIElement();
    // Leaves the registry and the parent's child list (without hooks). Children still attached
    // are reported and detached: each is left without a parent.
    ~UIElement() override;

    // --- CXMessageTarget ---
    // The parent: the next responder of the message chain.
    CXMessageTarget* GetDelegate() const override;
    // The element's name; empty when unset.
    CXString GetName() const override;
    // Offers the message to the handlers in the order they were added; the first answer other
    // than -2 is the result. Otherwise the next responder answers, or -2 without one. An element
    // that one of its handlers destroys answers that handler's result.
    CXResultCode HandleMessage(const CXMessage& message) override;

    // --- Element operations ---
    // Marks the element initialised and makes its system context. Reported when done twice.
    virtual void Init();
    // Destroys heap-owned children and detaches embedded ones, drops the system context, leaves
    // the parent, then deletes the element, or for an embedded element only clears initialised.
    virtual void Destroy();
    // Adds the child in front of `before` (at the end for null), taking it from its former parent.
    // Answers the element actually added, which is a wrapper holding the child when the child's
    // family needs one under this element; null when refused (null child, a child that is this
    // element or an ancestor of it, or one that is still linked elsewhere). A `before` that is not
    // a child of this element is reported and the child goes last.
    virtual UIElement* AddChild(UIElement* child, UIElement* before);
    // Detaches the element from its parent; nothing without one.
    virtual void RemoveFromParent();
    virtual void SetVisible(bool visible);
    // Visible and under a shown parent; never shown without a parent.
    virtual bool IsShown() const;
    virtual bool IsAppearingActive() const;
    // Stores the offsets and anchors (0 near edge, 1 far edge, 2 stretch) and computes the frame;
    // lays out the children when the frame changed. A changed frame is told to the parent
    // (ChildLayoutChanged), through LayoutChildren when that runs. Nothing at all when every value
    // is unchanged.
    virtual void SetLayout(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t horizontalAnchor,
                           int32_t verticalAnchor);
    virtual Box2i GetFrame() const;
    virtual int32_t GetWidth() const;
    virtual int32_t GetHeight() const;
    // Re-applies the layout of each anchored child, then tells the parent (ChildLayoutChanged).
    virtual void LayoutChildren();
    virtual void GetMinimumSize(int32_t& width, int32_t& height) const;
    virtual void GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const;
    // The frame's size, at least the minimum size, at the origin.
    virtual Box2i GetBounds() const;
    virtual void SetTitle(const CXString& title);
    virtual void InvalidateRegion(const RazaRegion& region);
    virtual void InvalidateBox(const Box2i& box);
    virtual void InvalidateAll();
    virtual void SetFocus();
    virtual bool HasFocus() const;
    // The offset of the content inside the frame (a scroll position); (0, 0) here.
    virtual Vector2i GetContentOrigin() const;
    // Passes the wheel to the parent.
    virtual void HandleScrollWheel(const UIScrollWheelEvent& event);
    // Passes the box, in the parent's coordinates, to the parent.
    virtual void ScrollBoxIntoView(const Box2i& box);
    // A point in this element's coordinates converted into the ancestor's (into the root's when
    // the ancestor is not one), and back.
    virtual Vector2i ConvertPointToAncestor(Vector2i point, const UIElement* ancestor) const;
    virtual Vector2i ConvertPointFromAncestor(Vector2i point, const UIElement* ancestor) const;
    // True for the wrapper that joins an element of another family to its parent.
    virtual bool IsAdapter() const;
    // Sets the system-context flag and tells the children. Subclasses make their own context
    // first, then call this. Reported when the flag is already set.
    virtual void CreateSystemContext();
    // Tells the children and clears the flag. Subclasses call this first, then drop their own
    // context. Reported when the flag is clear.
    virtual void DestroySystemContext();
    virtual void ParentSystemContextCreated();
    virtual void ParentSystemContextDestroyed();
    // Computes the frame and the required parent size from the offsets, the anchors, the parent's
    // size and the minimum size.
    virtual void ApplyLayout();
    // Hooks called on the parent: a child was added or removed; an element re-laid out its
    // children; a child's visible flag changed.
    virtual void ChildrenChanged();
    virtual void ChildLayoutChanged();
    virtual void ChildVisibilityChanged();
    // Passes the change to every child whose visible flag is set.
    virtual void NotifyHierarchyVisibilityChanged(bool shown);
    // True when layout changes must reach the children even if the frame stayed.
    virtual bool NeedsRelayout() const;
    // The family this element takes, given the requested family (may be null) and the parent (may
    // be null). Generic here.
    virtual const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                              UIElement* parent) const;

    // --- Plain operations ---
    UIElement* GetParent() const { return fParent; }
    // Sets the offsets to the point, keeping the size, and moves the frame there at once (no
    // layout pass).
    void MoveTo(int32_t x, int32_t y);
    // SetLayout from the frame origin with the given size and the current anchors. The origin is
    // taken as the left and top offsets, so with a far or stretching anchor the parent's size is
    // counted twice.
    void SetSize(int32_t width, int32_t height);
    void GetRequiredParentSize(int32_t& width, int32_t& height) const;
    void SetMinimumSize(int32_t width, int32_t height);
    void SetLayoutEnabled(bool enabled) { fLayoutEnabled = enabled ? 1 : 0; }
    bool IsLayoutEnabled() const { return fLayoutEnabled != 0; }
    // The offsets of the last SetLayout (their meaning follows the anchors).
    void GetLayoutOffsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
    {
        left = fLeft;
        top = fTop;
        right = fRight;
        bottom = fBottom;
    }
    int32_t GetHorizontalAnchor() const { return fHorizontalAnchor; }
    int32_t GetVerticalAnchor() const { return fVerticalAnchor; }

    UIElement* FirstChild() const;
    UIElement* LastChild() const;
    UIElement* NextSibling() const;
    UIElement* PreviousSibling() const;
    UIElement* AddChildFirst(UIElement* child);
    bool IsAncestorOrSelfOf(const UIElement* element) const;
    // Detaches embedded children and destroys the others, until none is left.
    void DestroyChildren();
    // Clips the box (in this element's coordinates) by this element and every ancestor. False,
    // with the box left as it was, when nothing is visible at some level; true with the visible
    // part otherwise.
    bool GetVisibleBox(Box2i& box) const;
    // Box forms of the point conversions; the result is never flagged empty.
    Box2i ConvertBoxToAncestor(const Box2i& box, const UIElement* ancestor) const;
    Box2i ConvertBoxFromAncestor(const Box2i& box, const UIElement* ancestor) const;

    bool IsVisible() const { return fVisible != 0; }
    bool IsInitialised() const { return fInitialised != 0; }
    bool HasSystemContext() const { return fHasSystemContext != 0; }
    // An embedded element lives inside another object: Destroy never deletes it.
    void SetNotHeapOwned(bool notHeapOwned) { fNotHeapOwned = notHeapOwned ? 1 : 0; }
    bool IsNotHeapOwned() const { return fNotHeapOwned != 0; }
    const CXString& GetTitle() const { return fTitle; }
    void SetName(const CXString& name) { fName = name; }

    // Adds a handler after those already added.
    void AddMessageHandler(MessageHandler handler);

    // +1 or -1 around changes made on the program's behalf. Lowering below zero is reported and
    // leaves the counter at 0.
    void InternalSuppressNotifications(int32_t delta);
    bool AreNotificationsSuppressed() const { return fNotificationSuppression > 0; }

    // Appearances. The element's own family record, null when it inherits its parent's.
    const UIAppearanceImplementation* GetAppearanceImplementation() const { return fAppearanceImplementation; }
    // The appearance in effect, resolved under the given parent (the element's own when null).
    const UIAppearance* GetAppearance(UIElement* parent = nullptr);
    // Chooses the element's family for the requested one under the parent (the element's own
    // when null). For an initialised element a change of family rebuilds what depends on it: the
    // system context when its family changes, and the children, which take the new family and
    // are wrapped or unwrapped as their families now need.
    void SetAppearanceImplementation(const UIAppearanceImplementation* requested, UIElement* parent = nullptr);
    // Asks the appearance in effect whether the calling thread may use the element.
    bool CheckOwnerThread();

    // Reports every element still alive ("UIElement::DebugCheckLeaks> leaked <address>
    // (<class>)"), then "UIElement::DebugCheckLeaks> we have leaked UIElements" when there was
    // any. Called at program end.
    static void DebugCheckLeaks();
    // Number of live elements.
    static size_t CountLiveElements();

private:
    static UIElement* FromLink(CXLinkedListNode* node);
    // Links the element into this element's child list, in front of `before` when given.
    bool LinkChild(UIElement* element, UIElement* before);
    // Re-applies the element's layout and lays out its children when its frame changed.
    static void ReapplyLayout(UIElement* element);
    void RewrapChildren(const UIAppearanceImplementation* implementation);

    int32_t fX = 0;
    int32_t fY = 0;
    int32_t fWidth = 0;
    int32_t fHeight = 0;
    int32_t fNotificationSuppression = 0;
    UIElementSiblingLink fSiblingLink{this};
    CXLinkedListHead fChildren;
    uint8_t fNotHeapOwned = 0;
    int32_t fRequiredParentWidth = 0;
    int32_t fRequiredParentHeight = 0;
    int32_t fMinimumHeight = 0;
    int32_t fMinimumWidth = 0;
    uint8_t fLayoutEnabled = 1;
    int32_t fHorizontalAnchor = 0;
    int32_t fVerticalAnchor = 0;
    int32_t fLeft = 0;
    int32_t fTop = 0;
    int32_t fRight = 0;
    int32_t fBottom = 0;
    CXString fTitle;
    uint8_t fVisible = 1;
    UIElement* fParent = nullptr;
    CXString fName;
    uint8_t fInitialised = 0;
    uint8_t fHasSystemContext = 0;
    const UIAppearanceImplementation* fAppearanceImplementation = nullptr;
    std::vector<MessageHandler> fMessageHandlers;
};
