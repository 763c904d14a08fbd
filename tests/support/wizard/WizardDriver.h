#pragma once

// Drives the windowed installer in the test's own process: start-up on the layer's headless
// harness (no display), the main loop turned one message at a time, controls found by the
// localisation key of their title and clicked or typed into through the harness's input, and the
// shutdown with its exit code. Without a loaded locale every title is its key. One driver at a
// time, on the thread that runs the test.

#include "foundation/CXString.h"
#include "toolkit/UIMessageLoop.h"
#include "win32/testing/Harness.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CXUIWindow;
class MervaneWindow;
class TextPromptSheet;
class UIElement;

namespace wizard {

class WizardDriver {
public:
    WizardDriver();
    // Shuts a run down that was started and not finished.
    ~WizardDriver();
    WizardDriver(const WizardDriver&) = delete;
    WizardDriver& operator=(const WizardDriver&) = delete;

    // Starts the installer with the command-line arguments (the program name is put in front) on
    // the harness, then tells the application the loop begins. -1 while the run goes on, else the
    // exit code start-up ended with.
    int Start(const std::vector<std::string>& arguments = {});
    // The shutdown after the loop, whether or not it has ended: every window closed, the
    // application deleted (the self-delete of executablePath's folder when the command line asked
    // for it), the layer shut down. Its exit code; -1 when no run is going on.
    int Finish(const CXString& executablePath = CXString());

    // Valid from Start until the driver dies.
    win32::testing::Harness& Harness() { return *fHarness; }

    // One turn of the main loop (its tasks and posted messages run); false once the loop has ended.
    bool Turn();
    // Turns until the condition holds (true), the loop ends or the real-time limit passes (the
    // condition's answer then). The layer's clock is the harness's: it moves only when the loop
    // waits.
    bool TurnUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    // Turns while input or posted window messages are waiting.
    void TurnWhileQueued();
    bool LoopEnded() const { return fLoopEnded; }

    // The main window, hidden or not; null when there is none.
    MervaneWindow* MainWindow() const;
    // The front visible window and the prompt sheet that is the front window; null when none.
    CXUIWindow* FrontWindow() const;
    TextPromptSheet* FrontSheet() const;

    // The first element under root (depth first, root included) whose title, or text for a static
    // text, is exactly the key; null when none.
    static UIElement* FindByTitle(UIElement* root, const CXString& key);
    // FindByTitle in the front window, then in the main window.
    UIElement* FindControl(const CXString& key) const;

    // A left click at the centre of the element's visible frame, then turns while it is queued.
    // False, with nothing clicked, when the element is null or shows nothing.
    bool Click(UIElement* element);
    bool Click(const CXString& titleKey);
    // Types the text into whatever has the focus, then turns while it is queued.
    void Type(const std::u16string& text);
    // Clicks the first (0) or second (1) button of the front prompt sheet. False without one.
    bool AnswerSheet(int button);

private:
    std::unique_ptr<win32::testing::Harness> fHarness;
    UIMessageLoop fLoop;
    bool fRunning = false;
    bool fLoopEnded = false;
};

} // namespace wizard
