#include "app/MervaneWindowPage.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "toolkit/UIRazaStaticText.h"

// --- Page base ---

Box2i MervaneWindowPage::ForwardButtonBox(int32_t width, int32_t height)
{
    return {width - 124, height - 44, width - 24, height - 20, false};
}

Box2i MervaneWindowPage::BackwardButtonBox(int32_t width, int32_t height)
{
    return {width - 244, height - 44, width - 144, height - 20, false};
}

MervaneWindowPage::MervaneWindowPage(MervaneWindow* window) : fWindow(window) {}

MervaneWindowPage::~MervaneWindowPage() = default;

bool MervaneWindowPage::IsBusy() const
{
    return false;
}

void MervaneWindowPage::PostStep(int32_t step)
{
    // Posted, not sent: the step destroys this page, which must not happen inside its handlers.
    const char* name = step > 0 ? "next-page" : "prev-page";
    CXMessagePost::GetSingleton().Post(this, new CXMessage(name, this), nullptr, CXTime::GetCurrentTimestamp());
}

// --- Stand-in page ---

MervaneWindowInertPage::MervaneWindowInertPage(MervaneWindow* window, int32_t index)
    : MervaneWindowPage(window)
    , fIndex(index)
{
}

void MervaneWindowInertPage::Init()
{
    if (IsInitialised()) {
        CXDebugError("UIElement::Init> already initialised");
        return;
    }
    MervaneWindowPage::Init();
    fText = new UIRazaStaticText;
    AddChild(fText, nullptr);
    fText->Init();
    fText->EnableWordWrap();
    fText->SetText(CXString::FromFormat("Page %d", static_cast<int>(fIndex)));
}

void MervaneWindowInertPage::LayoutChildren()
{
    MervaneWindowPage::LayoutChildren();
    if (fText != nullptr)
        fText->SetLayout(24, 15, GetWidth() - 24, 100, 0, 0);
}
