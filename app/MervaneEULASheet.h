#pragma once

#include "foundation/CXString.h"
#include "toolkit/UIWindowSheet.h"

#include <cstdint>

class UIPushButton;
class UIScrollBar;
class UIScrollFrame;
class UITextView;

// The licence sheet: a 500 x 500 modal sheet over the main window with the agreement text in a
// scrolled, read-only view and the agree and decline buttons. Agreeing posts "eula-agree" (sender:
// the parent) to the parent and closes the sheet; declining only closes it.
class MervaneEULASheet : public UIWindowSheet {
public:
    // A licence file above this size is not read (the text stays empty).
    static constexpr uint64_t kMaximumTextSize = 4u << 20;

    // `parent` (the welcome page) is borrowed.
    explicit MervaneEULASheet(UIElement* parent);
    ~MervaneEULASheet() override;

    CXResultCode HandleMessage(const CXMessage& message) override;
    // Makes the window, places it over the main window and builds the text and the buttons.
    void Init() override;
    void LayoutChildren() override;

    UIScrollFrame* GetScrollFrame() const { return fFrame; }
    UIScrollBar* GetScrollBar() const { return fScrollBar; }
    UITextView* GetTextView() const { return fTextView; }
    UIPushButton* GetAgreeButton() const { return fAgreeButton; }
    UIPushButton* GetDeclineButton() const { return fDeclineButton; }

private:
    UIScrollFrame* fFrame = nullptr;
    UIScrollBar* fScrollBar = nullptr;
    UITextView* fTextView = nullptr;
    UIPushButton* fAgreeButton = nullptr;
    UIPushButton* fDeclineButton = nullptr;
};

// The agreement text of a file: its bytes with every CR LF made LF; empty when the file cannot be
// opened or is larger than MervaneEULASheet::kMaximumTextSize (logged).
CXString ReadLicenceText(const CXString& path);
