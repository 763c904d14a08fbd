// The licence sheet: the agreement text of the data folder with the agree and decline buttons.

#include "app/MervaneEULASheet.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXPath.h"
#include "foundation/CXTime.h"
#include "streams/CXStreamFile.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIScrollBar.h"
#include "toolkit/UIScrollFrame.h"
#include "toolkit/UITextView.h"

#include <string>

namespace {

// The sheet's client size, and the strip at its bottom that holds the buttons.
constexpr int32_t kSheetSize = 500;
constexpr int32_t kButtonStrip = 50;

// The text with every CR LF pair made one LF; a lone CR stays.
CXString JoinCarriageReturns(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text.push_back(bytes[i]);
    }
    return CXString(text.data(), text.size());
}

template <class Control>
Control* AddControl(UIElement* parent, Control* control)
{
    parent->AddChild(control, nullptr);
    control->Init();
    return control;
}

} // namespace

CXString ReadLicenceText(const CXString& path)
{
    CXStreamFile file;
    if (!file.Open(path, CXStreamFile::kModeRead)) {
        CXDebugLog("ReadLicenceText> cannot open '%s' (%d)", path.c_str(), static_cast<int>(file.GetResult()));
        return CXString();
    }
    const uint64_t size = file.GetSize();
    if (size > MervaneEULASheet::kMaximumTextSize) {
        CXDebugLog("ReadLicenceText> '%s' holds %llu bytes, more than the %llu shown; not read", path.c_str(),
                   static_cast<unsigned long long>(size),
                   static_cast<unsigned long long>(MervaneEULASheet::kMaximumTextSize));
        return CXString();
    }
    std::string bytes(size, '\0');
    const uint64_t read = file.Read(bytes.data(), size);
    if (read != size) {
        CXDebugLog("ReadLicenceText> read %llu of the %llu bytes of '%s' (%d)", static_cast<unsigned long long>(read),
                   static_cast<unsigned long long>(size), path.c_str(), static_cast<int>(file.GetResult()));
        bytes.resize(read);
    }
    return JoinCarriageReturns(bytes);
}

MervaneEULASheet::MervaneEULASheet(UIElement* parent) : UIWindowSheet(parent) {}

MervaneEULASheet::~MervaneEULASheet() = default;

void MervaneEULASheet::Init()
{
    // A second call would build a second set of controls over the first.
    if (IsInitialised()) {
        CXDebugError("UIElement::Init> already initialised");
        return;
    }
    UIWindowSheet::Init();
    // Made now that the window exists: making it sizes the frame to the window's first client size.
    SetLayout(50, 50, 50 + kSheetSize, 50 + kSheetSize, 0, 0);
    for (UIElement* element = GetParentElement(); element != nullptr; element = element->GetParent()) {
        if (auto* window = dynamic_cast<CXUIWindow*>(element)) {
            CenterOverElement(window);
            break;
        }
    }

    fFrame = AddControl(this, new UIScrollFrame);
    fFrame->SetLayout(0, 0, 0, -kButtonStrip, 2, 2);
    fFrame->SetInsets({0, 0, 0, 1, false});

    fScrollBar = new UIScrollBar;
    fScrollBar->Init();
    fFrame->AddChild(fScrollBar, nullptr);

    const CXString text = ReadLicenceText(GetDataFolderFilepath(Localise("$mervane_eula_filename").c_str()));
    fTextView = AddControl(fFrame, new UITextView);
    fTextView->SetText(text);
    fTextView->SetReadOnly(true);
    fScrollBar->GetAxis().AddClient(&fTextView->GetVerticalAxis());
    fFrame->SetContent(fTextView, fScrollBar);
    fFrame->LayoutContent();

    fAgreeButton = new UIPushButton;
    fAgreeButton->SetTitle(Localise("$mervane_eula_agree"));
    AddControl(this, fAgreeButton);
    fAgreeButton->SetLayout(-82, -37, -13, -13, 1, 1);

    fDeclineButton = new UIPushButton;
    fDeclineButton->SetTitle(Localise("$mervane_eula_decline"));
    AddControl(this, fDeclineButton);
    fDeclineButton->SetLayout(-163, -37, -94, -13, 1, 1);
}

void MervaneEULASheet::LayoutChildren()
{
    UIWindowSheet::LayoutChildren();
}

CXResultCode MervaneEULASheet::HandleMessage(const CXMessage& message)
{
    CXMessageTarget* source = message.GetSource();
    if (message.GetName() == "click" && source != nullptr) {
        // Closing destroys the sheet and the button whose click this is; nothing is touched after.
        if (source == static_cast<CXMessageTarget*>(fAgreeButton)) {
            // Posted, so the parent hears it once the sheet has gone.
            if (UIElement* parent = GetParentElement())
                CXMessagePost::GetSingleton().Post(parent, new CXMessage("eula-agree", parent), nullptr,
                                                   CXTime::GetCurrentTimestamp());
            (void)CXUIWindow::RequestClose(this);
            return 0;
        }
        if (source == static_cast<CXMessageTarget*>(fDeclineButton)) {
            (void)CXUIWindow::RequestClose(this);
            return 0;
        }
    }
    return UIWindowSheet::HandleMessage(message);
}
