#include "Gallery.h"

#include "foundation/CXMessagePost.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "patch/CXFileNavOpen.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/ScrollAxisRef.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIFileDialogs.h"
#include "toolkit/UIIconControl.h"
#include "toolkit/UIPopupMenuButton.h"
#include "toolkit/UIProgressBar.h"
#include "toolkit/UIProgressSpinner.h"
#include "toolkit/UIRazaStaticText.h"
#include "toolkit/UIScrollBar.h"
#include "toolkit/UIScrollFrame.h"
#include "toolkit/UITextView.h"
#include "win32/controls/Controls.h"
#include "win32/core/Core.h"

#include <algorithm>
#include <string>

namespace gallery {

// The custom control of the gallery: colour bands drawn by the toolkit, scrolled sideways by the
// horizontal scroll bar over a range twice its width.
class Swatch : public UICustomControl, public Scrollable {
public:
    Swatch() { tracksHover = 0; }

    void Draw(RazaGraf& graf) override
    {
        const int32_t width = GetWidth();
        const int32_t height = GetHeight();
        const int32_t offset = static_cast<int32_t>(fAxis.GetPosition());
        static const CXColor kBands[] = {{0.85f, 0.25f, 0.2f, 1.0f}, {0.95f, 0.7f, 0.15f, 1.0f},
                                         {0.3f, 0.7f, 0.3f, 1.0f},   {0.2f, 0.45f, 0.8f, 1.0f},
                                         {0.55f, 0.3f, 0.7f, 1.0f}};
        constexpr int32_t kBand = 40;
        for (int32_t x = -(offset % kBand); x < width; x += kBand) {
            const int32_t index = ((x + offset) / kBand) % 5;
            graf.FillBox({x, 0, std::min(x + kBand, width), height, false}, kBands[index]);
        }
        graf.FrameBox({0, 0, width, height, false}, {0.2f, 0.2f, 0.2f, 1.0f});
    }

    bool GetAxisRange(const ScrollAxisRef&, double& minimum, double& maximum, double& page) override
    {
        minimum = 0;
        maximum = 2.0 * GetWidth();
        page = GetWidth();
        return true;
    }
    void AxisPositionChanged(ScrollAxisRef&) override { InvalidateAll(); }

    ScrollAxisRef& GetAxis() { return fAxis; }

private:
    ScrollAxisRef fAxis{this};
};

// The window counts the user's close requests and, while the gallery keeps it open, refuses them.
class GalleryWindow : public CXUIWindow {
public:
    explicit GalleryWindow(Gallery* gallery) : fGallery(gallery) {}

    CXResultCode HandleMessage(const CXMessage& message) override
    {
        if (message.GetName() == "Close" && !fGallery->CountClose())
            return kCXOK;
        return CXUIWindow::HandleMessage(message);
    }

private:
    Gallery* fGallery;
};

namespace {

const char kSampleText[] =
    "A text view in a scroll frame.\n\n"
    "Turn the wheel over this text, drag the bar beside it or use the keys to move through it. "
    "The lines wrap at the view's width, so making the window wider or narrower lays them out "
    "again.\n\n";

CXString SampleText()
{
    std::string text = kSampleText;
    for (int i = 1; i <= 60; ++i)
        text += "Line " + std::to_string(i) + " of the gallery's text: the quick brown fox jumps over the lazy dog.\n";
    return CXString(text.c_str());
}

} // namespace

bool StartLayer(win32::Backend* backend)
{
    static bool threadStarted = false;
    if (!threadStarted) {
        threadStarted = true;
        CXThread::CXInit();
        CXTaskHost::InitCurrentThreadTaskHost();
    }
    CXUIWindow::ResetProcessStateForTesting();
    win32::controls::RegisterControlClasses();
    if (!win32::Initialize(backend, win32::Options{}))
        return false;
    UIFileDialogs::Install();
    return true;
}

void StopLayer()
{
    UIFileDialogs::Uninstall();
    CXUIWindow::DestroyParkingWindow();
    CXMenu::ReleaseAllMenus();
    CXMessagePostTask::DeleteSingleton();
    win32::Shutdown();
}

template <class Control>
Control* Gallery::Add(Control* control, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t horizontal,
                      int32_t vertical)
{
    control->SetLayout(left, top, right, bottom, horizontal, vertical);
    fWindow->AddChild(control, nullptr);
    control->Init();
    return control;
}

Gallery::Gallery(int32_t x, int32_t y)
{
    auto* window = new GalleryWindow(this);
    fWindow = window;

    // The menu bar is built from the menus that exist when the window is made.
    auto file = std::make_unique<CXMenu>(window);
    file->SetTitle("File");
    file->AddToMenuBar();
    file->AddCommandItem("Prompt sheet...", "gallery-prompt", 'P');
    file->AddCommandItem("Open file...", "gallery-open", 'O');
    file->AddCommandItem("-", "", 0);
    file->AddCommandItem("Close", "gallery-close", 'W');
    auto edit = std::make_unique<CXMenu>(window);
    edit->SetTitle("Edit");
    edit->AddToMenuBar();
    edit->AddCommandItem("Reset progress", "gallery-reset", 0);
    auto more = std::make_unique<CXMenu>(window);
    more->SetTitle("More");
    more->AddCommandItem("Check the checkbox", "gallery-check", 0);
    more->AddCommandItem("A disabled item", "gallery-disabled", 0);
    edit->AddMenuItem("More", std::move(more));
    fMenus.push_back(std::move(file));
    fMenus.push_back(std::move(edit));

    window->AddMessageHandler([this](const CXMessage& message) { return OnMessage(message); });
    window->SetTitle("UI gallery");
    window->Init();
    window->SetMinimumSize(480, 360);
    window->SetLayout(x, y, x + kClientWidth, y + kClientHeight, 0, 0);

    fTitleLabel = Add(new UIRazaStaticText, 16, 10, 520, 32);
    fTitleLabel->SetText("Every control of the toolkit. Labels like this one are drawn windowless.");

    fPushButton = Add(new UIPushButton, 16, 40, 116, 64);
    fPushButton->SetTitle("Push");
    fCheckbox = Add(new UICheckbox, 130, 40, 250, 64);
    fCheckbox->SetTitle("Checkbox");
    fPromptButton = Add(new UIPushButton, 264, 40, 394, 64);
    fPromptButton->SetTitle("Prompt sheet...");
    fChooserButton = Add(new UIPushButton, 408, 40, 528, 64);
    fChooserButton->SetTitle("Open file...");

    fTextField = Add(new UIEditTextControl, 16, 76, 260, 100);
    fTextField->SetText("A text field");
    fPasswordField = new UIEditTextControl;
    fPasswordField->SetPasswordField(true);
    Add(fPasswordField, 276, 76, 520, 100);
    fPasswordField->SetText("secret");
    fChoiceList = new UIPopupMenuButton;
    for (const char* entry : {"First choice", "Second choice", "Third choice", "Fourth choice"})
        fChoiceList->GetMenu()->AddCommandItem(entry, "", 0);
    Add(fChoiceList, 536, 76, 744, 100);
    fChoiceList->SetSelectedIndex(0);

    fProgress = Add(new UIProgressBar, 16, 112, 260, 130);
    fProgress->SetDeterminate(true);
    fProgress->SetValue(40);
    fMarquee = Add(new UIProgressBar, 276, 112, 520, 130);

    fSwatch = new Swatch;
    Add(fSwatch, 16, 142, 520, 202);
    fScrollBar = new UIScrollBar;
    fScrollBar->SetHorizontal(true);
    Add(fScrollBar, 16, 206, 520, 222);
    fScrollBar->GetAxis().AddClient(&fSwatch->GetAxis());

    fIcon = Add(new UIIconControl, 536, 142, 600, 206);
    fSpinner = Add(new UIProgressSpinner, 616, 142, 648, 174);
    fStatus = Add(new UIRazaStaticText, 536, 210, -16, 232, 2, 0);
    fStatus->SetText("Ready.");

    // The text view fills the rest and follows the window's size.
    fFrame = Add(new UIScrollFrame, 16, 240, -16, -16, 2, 2);
    fTextView = new UITextView;
    fFrame->AddChild(fTextView, nullptr);
    fTextView->Init();
    fTextView->SetText(SampleText());
    fFrameBar = new UIScrollBar;
    fFrameBar->Init();
    fFrame->AddChild(fFrameBar, nullptr);
    fFrameBar->GetAxis().AddClient(&fTextView->GetVerticalAxis());
    fFrame->SetContent(fTextView, fFrameBar);
    fFrame->LayoutContent();

    window->SetVisible(true);
    fPushButton->SetFocus();
}

Gallery::~Gallery()
{
    if (CXUIWindow* window = fWindow.get())
        window->Destroy();
    // A sheet still open goes with its parent; the menus last, once no window shows them.
    fMenus.clear();
}

win32::HWND Gallery::GetHandle() const
{
    CXUIWindow* window = fWindow.get();
    return window != nullptr ? window->GetNativeHandle() : nullptr;
}

TextPromptSheet* Gallery::GetPrompt() const
{
    return fPrompt.get();
}

UIElement* Gallery::GetSwatch() const
{
    return fSwatch;
}

void Gallery::StopAnimations()
{
    fMarquee->SetDeterminate(true);
    fMarquee->SetValue(70);
    fSpinner->SetVisible(false);
}

bool Gallery::CountClose()
{
    ++fCloseRequests;
    return !fKeepOpen;
}

void Gallery::SetStatus(const CXString& text)
{
    if (fStatus != nullptr)
        fStatus->SetText(text);
}

void Gallery::ShowPrompt()
{
    if (fPrompt.get() != nullptr || fWindow.get() == nullptr)
        return;
    auto* sheet = new TextPromptSheet(fWindow.get());
    sheet->Init();
    sheet->SetMessage("A prompt sheet: type something and press OK.");
    sheet->SetEnteredText("");
    sheet->SetFirstButtonTitle("OK");
    sheet->SetSecondButtonTitle("Cancel");
    sheet->SetThirdButtonTitle("");
    sheet->SetCompletionHandler([this](int32_t result, const std::vector<CXString>& texts) {
        std::string line = result == 0 ? "Prompt answered" : "Prompt cancelled";
        if (result == 0 && !texts.empty())
            line += std::string(": ") + texts.front().c_str();
        SetStatus(CXString(line.c_str()));
    });
    fPrompt = sheet;
    sheet->SetVisible(true);
}

void Gallery::ShowChooser()
{
    CXFileNavOpen request;
    request.title = "Choose a file";
    request.Exec();
    const std::vector<CXString> paths = request.GetPaths();
    SetStatus(paths.empty() ? CXString("Nothing chosen.") : CXString(("Chosen: " + std::string(paths.front().c_str())).c_str()));
}

CXResultCode Gallery::OnMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    CXMessageTarget* source = message.GetSource();
    if (name == "click") {
        if (source == fPushButton) {
            ++fPushCount;
            fProgress->SetValue((fProgress->GetValue() + 10) % 110);
            SetStatus(CXString(("Pushed " + std::to_string(fPushCount) + " times.").c_str()));
        } else if (source == fCheckbox) {
            SetStatus(fCheckbox->IsChecked() ? "Checked." : "Unchecked.");
        } else if (source == fPromptButton) {
            ShowPrompt();
        } else if (source == fChooserButton) {
            ShowChooser();
        } else if (source == fChoiceList) {
            SetStatus(CXString(("Chose entry " + std::to_string(fChoiceList->GetSelectedIndex() + 1) + ".").c_str()));
        } else {
            return kCXNotSupported;
        }
        return kCXOK;
    }
    if (name == "gallery-prompt") {
        ShowPrompt();
        return kCXOK;
    }
    if (name == "gallery-open") {
        ShowChooser();
        return kCXOK;
    }
    if (name == "gallery-close") {
        (void)CXUIWindow::RequestClose(fWindow.get());
        return kCXOK;
    }
    if (name == "gallery-reset") {
        fProgress->SetValue(0);
        SetStatus("Progress reset.");
        return kCXOK;
    }
    if (name == "gallery-check") {
        fCheckbox->SetChecked(true);
        SetStatus("Checked from the menu.");
        return kCXOK;
    }
    if (name == "update-command-status" && message.GetFirstArgument() == "gallery-disabled")
        return CXResultCode(-11); // the one item shown disabled
    return kCXNotSupported;
}

} // namespace gallery
