#include "wizard/WizardDriver.h"

#include "app/MervaneMain.h"
#include "app/MervaneWindow.h"
#include "datanode/CXLocalisation.h"
#include "foundation/CXDebug.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/NativeUIElement.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIElement.h"
#include "toolkit/UIRazaStaticText.h"
#include "win32/core/Core.h"
#include "win32/user/User.h"

using namespace win32;

namespace wizard {

namespace {

// Enough for any burst of input a test queues; a queue that never drains is reported.
constexpr int kMaximumQueuedTurns = 500;

bool HasTitle(UIElement* element, const CXString& key)
{
    if (element->GetTitle() == key)
        return true;
    auto* text = dynamic_cast<UIRazaStaticText*>(element);
    return text != nullptr && text->GetText() == key;
}

} // namespace

WizardDriver::WizardDriver() = default;

WizardDriver::~WizardDriver()
{
    if (fRunning)
        (void)Finish();
}

int WizardDriver::Start(const std::vector<std::string>& arguments)
{
    if (fRunning || fHarness != nullptr) {
        CXDebugError("WizardDriver::Start> one run per driver");
        return 2;
    }
    // A run before this one in the same process may have left the quit flag set and its texts
    // loaded.
    CXUIWindow::ResetProcessStateForTesting();
    ClearLocalisationTable();

    std::vector<std::string> words;
    words.push_back("patch-installer");
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    auto openDisplay = [this](std::string& problem) {
        fHarness = std::make_unique<win32::testing::Harness>();
        if (!IsInitialized()) {
            problem = "the harness did not start the window layer";
            return false;
        }
        return true;
    };
    int code = MervaneStartUp(static_cast<int>(words.size()), argv.data(), openDisplay);
    if (code >= 0)
        return code;
    fRunning = true;
    fLoopEnded = false;
    fLoop.Begin();
    return code;
}

int WizardDriver::Finish(const CXString& executablePath)
{
    if (!fRunning)
        return -1;
    fRunning = false;
    return MervaneShutDown(executablePath);
}

bool WizardDriver::Turn()
{
    if (!fRunning || fLoopEnded)
        return false;
    if (!fLoop.Turn())
        fLoopEnded = true;
    return !fLoopEnded;
}

bool WizardDriver::TurnUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (fLoopEnded || !fRunning || std::chrono::steady_clock::now() > deadline)
            return condition();
        (void)Turn();
    }
    return true;
}

void WizardDriver::TurnWhileQueued()
{
    for (int turns = 0; turns < kMaximumQueuedTurns; ++turns) {
        InputEvent input;
        MSG message = {};
        bool waiting = core::PeekInput(&input) || PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
        if (!waiting || !Turn())
            return;
    }
    CXDebugError("WizardDriver::TurnWhileQueued> the queue did not drain in %d turns", kMaximumQueuedTurns);
}

MervaneWindow* WizardDriver::MainWindow() const
{
    CXUIWindow* any = CXUIWindow::GetFrontWindow(true);
    if (any == nullptr || any->GetNativeHandle() == nullptr)
        return nullptr;
    for (HWND hwnd = GetWindow(any->GetNativeHandle(), GW_HWNDFIRST); hwnd != nullptr;
         hwnd = GetWindow(hwnd, GW_HWNDNEXT)) {
        if (auto* window = dynamic_cast<MervaneWindow*>(NativeUIElement::ElementFromHandle(hwnd)))
            return window;
    }
    return nullptr;
}

CXUIWindow* WizardDriver::FrontWindow() const
{
    return CXUIWindow::GetFrontWindow(false);
}

TextPromptSheet* WizardDriver::FrontSheet() const
{
    return dynamic_cast<TextPromptSheet*>(FrontWindow());
}

UIElement* WizardDriver::FindByTitle(UIElement* root, const CXString& key)
{
    if (root == nullptr)
        return nullptr;
    if (HasTitle(root, key))
        return root;
    for (UIElement* child = root->FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (UIElement* found = FindByTitle(child, key))
            return found;
    }
    return nullptr;
}

UIElement* WizardDriver::FindControl(const CXString& key) const
{
    if (UIElement* found = FindByTitle(FrontWindow(), key))
        return found;
    return FindByTitle(MainWindow(), key);
}

bool WizardDriver::Click(UIElement* element)
{
    if (element == nullptr || fHarness == nullptr || !element->IsShown())
        return false;
    Box2i box = {0, 0, element->GetWidth(), element->GetHeight(), false};
    if (!element->GetVisibleBox(box))
        return false;
    Box2i screen = element->ConvertBoxToAncestor(box, nullptr);
    fHarness->Click(POINT{(screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2});
    TurnWhileQueued();
    return true;
}

bool WizardDriver::Click(const CXString& titleKey)
{
    return Click(FindControl(titleKey));
}

void WizardDriver::Type(const std::u16string& text)
{
    if (fHarness == nullptr)
        return;
    fHarness->Type(text);
    TurnWhileQueued();
}

bool WizardDriver::AnswerSheet(int button)
{
    TextPromptSheet* sheet = FrontSheet();
    if (sheet == nullptr)
        return false;
    UIPushButton* target = button == 0 ? sheet->GetFirstButton() : button == 1 ? sheet->GetSecondButton() : nullptr;
    return Click(target);
}

} // namespace wizard
