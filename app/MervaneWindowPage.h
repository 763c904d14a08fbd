#pragma once

#include "toolkit/UICustomControl.h"

#include <cstdint>

class MervaneWindow;

// The common base of the six wizard pages: a custom-drawn control that the main window places in
// its page frame. A page asks the window to move on by posting "next-page" or "prev-page" (source:
// the page) to itself through the message post; its base handling passes them up to the window,
// so a page is never destroyed inside its own handler.
class MervaneWindowPage : public UICustomControl {
public:
    // The forward and backward button places of every page, from the page's width and height.
    static Box2i ForwardButtonBox(int32_t width, int32_t height);
    static Box2i BackwardButtonBox(int32_t width, int32_t height);

    explicit MervaneWindowPage(MervaneWindow* window);
    ~MervaneWindowPage() override;

    // True while the page runs work that closing the window would interrupt. False here.
    virtual bool IsBusy() const;

    MervaneWindow* GetWindow() const { return fWindow; }

protected:
    // Posts "next-page" (+1) or "prev-page" (-1) to the page at the current time.
    void PostStep(int32_t step);

    // Not owned: the window that built the page.
    MervaneWindow* fWindow;
};

// The stand-in for a working page until the five working pages exist: it shows its index, has a
// busy switch, and otherwise does nothing.
class MervaneWindowInertPage : public MervaneWindowPage {
public:
    MervaneWindowInertPage(MervaneWindow* window, int32_t index);

    bool IsBusy() const override { return fBusy; }
    void SetBusy(bool busy) { fBusy = busy; }
    int32_t GetIndex() const { return fIndex; }

    void Init() override;
    void LayoutChildren() override;

    // Posts a step as a working page's buttons would.
    void Step(int32_t step) { PostStep(step); }

private:
    int32_t fIndex;
    bool fBusy = false;
    class UIRazaStaticText* fText = nullptr;
};
