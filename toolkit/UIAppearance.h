#pragma once

#include "toolkit/CXColor.h"

#include <cstdint>

class RazaFont;
class UIAppearance;
class UIElement;

// A record that names one drawing family: native (controls with windows of their own) or generic
// (drawn by the toolkit). The records are process-wide constants, compared by address.
class UIAppearanceImplementation {
public:
    // The family's appearance; never null.
    virtual const UIAppearance* GetAppearance() const = 0;

protected:
    constexpr UIAppearanceImplementation() = default;
    ~UIAppearanceImplementation() = default;
};

// The native family.
class UIAppearanceWin32_Implementation final : public UIAppearanceImplementation {
public:
    constexpr UIAppearanceWin32_Implementation() = default;
    static const UIAppearanceImplementation* Get();
    const UIAppearance* GetAppearance() const override;
};

// The generic (custom-drawn) family.
class UIAppearanceGeneric_Implementation final : public UIAppearanceImplementation {
public:
    constexpr UIAppearanceGeneric_Implementation() = default;
    static const UIAppearanceImplementation* Get();
    const UIAppearance* GetAppearance() const override;
};

// The drawing family an element belongs to, with the background colour native controls paint
// on. The two family appearances exist before main runs and never change; the fallback (white,
// no family) answers for elements whose family cannot be resolved.
class UIAppearance {
public:
    // An ownerThread of -1 lets every thread use the elements of this appearance.
    constexpr UIAppearance(CXColor color, const UIAppearanceImplementation* implementation, int64_t ownerThread = -1)
        : fColor(color)
        , fImplementation(implementation)
        , fOwnerThread(ownerThread)
    {
    }

    // True when the calling thread may use elements of this appearance: always with owner -1;
    // otherwise the caller's thread id must be the owner's. Code running in a fiber is judged by
    // the fiber's thread while the thread registry is consulted.
    virtual bool CheckOwnerThread() const;
    // The font elements of this appearance draw with, given the one asked for: a copy of it,
    // unchanged, in every appearance so far.
    virtual RazaFont AdjustFont(const RazaFont& font) const;

    const CXColor& GetColor() const { return fColor; }
    // Null for the fallback.
    const UIAppearanceImplementation* GetImplementation() const { return fImplementation; }
    int64_t GetOwnerThread() const { return fOwnerThread; }
    bool ChecksThroughThreadRegistry() const { return fCheckThroughThreadRegistry != 0; }

    // White, with no family; made on first use.
    static const UIAppearance* GetFallback();

private:
    CXColor fColor;
    const UIAppearanceImplementation* fImplementation;
    int64_t fOwnerThread;
    uint8_t fCheckThroughThreadRegistry = 1;
};

// Native appearance: light grey 0.94. One instance, made before main.
class UIAppearanceWin32 final : public UIAppearance {
public:
    constexpr UIAppearanceWin32();
    static const UIAppearance* Get();
};

// Generic appearance: light grey 0.95. One instance, made before main.
class UIAppearanceGeneric final : public UIAppearance {
public:
    constexpr UIAppearanceGeneric();
    static const UIAppearance* Get();
};

// Joins a child of one family to a parent of another by wrapping the child in an element of the
// parent's family. Adapters are registered by the pair (parent family, child family); the
// registry does not own them, and an adapter that dies is taken out of it.
class UIAppearanceImplementationAdapter {
public:
    UIAppearanceImplementationAdapter() = default;
    UIAppearanceImplementationAdapter(const UIAppearanceImplementationAdapter&) = delete;
    UIAppearanceImplementationAdapter& operator=(const UIAppearanceImplementationAdapter&) = delete;

    // A new wrapper (heap-owned, initialised) holding the element, for the caller to place where
    // the element was; null when this adapter does not wrap such an element. Null in the base.
    virtual UIElement* CreateWrapperForUIElement(UIElement* element);

    // The pair this adapter was last registered for; null before registration.
    const UIAppearanceImplementation* GetFrom() const { return fFrom; }
    const UIAppearanceImplementation* GetTo() const { return fTo; }

    // Registers the adapter for (from, to), replacing whatever adapter held that pair.
    static void RegisterAdapter(UIAppearanceImplementationAdapter* adapter, const UIAppearanceImplementation* from,
                                const UIAppearanceImplementation* to);
    // Removes the adapter's entry when the adapter still holds it; the registry is freed once
    // empty.
    static void UnregisterAdapter(UIAppearanceImplementationAdapter* adapter);
    // The adapter registered for the pair, or null.
    static UIAppearanceImplementationAdapter* FindAdapter(const UIAppearanceImplementation* from,
                                                          const UIAppearanceImplementation* to);
    // A wrapper that lets the child live under the parent, whose appearance is given; null when
    // none is needed or none can be made. Never wraps while a wrapper is being built on this
    // thread, nor a child of a wrapper.
    static UIElement* FindAdapterWrapper(const UIAppearance* parentAppearance, UIElement* parent, UIElement* child);

protected:
    ~UIAppearanceImplementationAdapter();

private:
    const UIAppearanceImplementation* fFrom = nullptr;
    const UIAppearanceImplementation* fTo = nullptr;
};
