// The custom control's companions: its drop target (drags turned into messages, registration on
// the control's window) and the adapter that puts a native control under a generic parent.

#include "toolkit/UICustomControlDropTarget.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "toolkit/CXOSSoup.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/UICustomControlGenericNativeAdapter.h"
#include "win32/testing/DataObjects.h"
#include "win32/user/DragDrop.h"

#include <functional>
#include <map>

namespace toolkittest {
namespace {

using win32::testing::DataObjectRef;
using win32::testing::DragResult;
using win32::testing::MakeFileDrop;
using win32::testing::MakeTextDrop;

// A windowed custom control that records the drag messages reaching it ("Drag-Enter Z:/a.txt @x,y")
// and answers them from `answers` (-2 for a name not listed).
class DragTaker : public UICustomControl {
public:
    DragTaker(std::vector<std::string>* trace, Box2i frame, int32_t hint = 0) : fTrace(trace)
    {
        SetCompositingHint(hint);
        SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0);
        AddMessageHandler([this](const CXMessage& message) { return Answer(message); });
    }

    void UpdateDropRegistration() override
    {
        ++registrationUpdates;
        UICustomControl::UpdateDropRegistration();
    }

    std::map<std::string, int32_t> answers;
    int registrationUpdates = 0;

private:
    CXResultCode Answer(const CXMessage& message)
    {
        const std::string name(message.GetName().c_str());
        if (name.rfind("Drag-", 0) != 0)
            return kCXNotSupported;
        const auto& drag = static_cast<const UIDragMessage&>(message);
        std::string line = name;
        if (CXOSSoupDrag* data = drag.GetDragData()) {
            char path[64] = {};
            line += data->GetData(0, "filepath", path, sizeof(path)) == kCXOK ? std::string(" ") + path : " unreadable";
        }
        line += " @" + std::to_string(drag.GetPoint().x) + "," + std::to_string(drag.GetPoint().y);
        if (drag.GetSource() != this)
            line += " from elsewhere";
        if (fTrace != nullptr)
            fTrace->push_back(line);
        auto answer = answers.find(name);
        return answer != answers.end() ? CXResultCode(answer->second) : kCXNotSupported;
    }

    std::vector<std::string>* fTrace;
};

class DropTargetTest : public WindowElementTest {
protected:
    // A visible window with a windowed taker at {20, 30, 220, 130} of its client area.
    DragTaker* MakeTaker(CXUIWindow*& window)
    {
        window = MakeWindow();
        auto* taker = new DragTaker(&trace, {20, 30, 220, 130, false});
        window->AddChild(taker, nullptr);
        taker->Init();
        EXPECT_TRUE(harness.PumpUntilIdle());
        return taker;
    }

    static POINT Screen(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return client;
    }

    std::vector<std::string> trace;
};

TEST_F(DropTargetTest, DragsBecomeMessagesAndARefusedEntryStaysRefused)
{
    CXUIWindow* window = nullptr;
    DragTaker* taker = MakeTaker(window);
    taker->SetDragTypes({"filepath"});
    HWND handle = taker->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    const POINT first = Screen(handle, {10, 10});
    const POINT second = Screen(handle, {40, 50});
    const POINT outside = Screen(handle, {-15, 10});
    const std::string at = " @" + std::to_string(first.x) + "," + std::to_string(first.y);
    const std::string atSecond = " @" + std::to_string(second.x) + "," + std::to_string(second.y);

    struct Case {
        const char* name;
        std::map<std::string, int32_t> answers;
        std::vector<POINT> path;
        std::vector<std::string> expected;
        DragResult result;
    };
    const Case cases[] = {
        {"taken", {{"Drag-Enter", 0}, {"Drag-Receive", 0}}, {first, second},
         {"Drag-Enter Z:/a.txt" + at, "Drag-Receive Z:/a.txt" + atSecond}, {true, DROPEFFECT_COPY}},
        // The pointer moving on over the control must not turn the refusal into a drop.
        {"refused at the entry", {{"Drag-Receive", 0}}, {first, second},
         {"Drag-Enter Z:/a.txt" + at, "Drag-Leave @0,0"}, {false, DROPEFFECT_NONE}},
        {"entered, then the drop refused", {{"Drag-Enter", 0}}, {first, second},
         {"Drag-Enter Z:/a.txt" + at, "Drag-Receive Z:/a.txt" + atSecond}, {false, DROPEFFECT_NONE}},
        {"entered and left", {{"Drag-Enter", 0}, {"Drag-Receive", 0}}, {first, outside},
         {"Drag-Enter Z:/a.txt" + at, "Drag-Leave @0,0"}, {false, DROPEFFECT_NONE}},
    };
    for (const Case& c : cases) {
        trace.clear();
        taker->answers = c.answers;
        DataObjectRef data = MakeFileDrop({"Z:/a.txt"});
        const DragResult result = harness.Drag(data.get(), c.path);
        EXPECT_EQ(trace, c.expected) << c.name;
        EXPECT_EQ(result.dropped, c.result.dropped) << c.name;
        EXPECT_EQ(result.effect, c.result.effect) << c.name;
        EXPECT_EQ(data->LiveBlocks(), 0u) << c.name << ": every block read was given back";
    }
    window->Destroy();
}

TEST_F(DropTargetTest, TheTargetAnswersTheInterfaceCallsItself)
{
    auto* taker = new DragTaker(&trace, {0, 0, 50, 50, false});
    taker->SetDragTypes({"TEXT"});
    UICustomControlDropTarget* target = taker->GetDropTarget();
    ASSERT_NE(target, nullptr);
    DataObjectRef data = MakeTextDrop("ab");
    DWORD effect = DROPEFFECT_COPY;
    const POINTL point = {3, 4};

    // Null arguments.
    EXPECT_EQ(target->DragEnter(nullptr, 0, point, &effect), E_INVALIDARG);
    EXPECT_EQ(target->DragEnter(data.get(), 0, point, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->DragOver(0, point, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->Drop(nullptr, 0, point, &effect), E_INVALIDARG);
    EXPECT_EQ(target->Drop(data.get(), 0, point, nullptr), E_INVALIDARG);
    EXPECT_EQ(target->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_TRUE(trace.empty());

    struct Interface {
        const IID& iid;
        HRESULT result;
    };
    for (const Interface& c : {Interface{IID_IUnknown, S_OK}, Interface{IID_IDropTarget, S_OK},
                               Interface{IID_IDataObject, E_NOINTERFACE}}) {
        int placeholder = 0;
        void* object = &placeholder;
        EXPECT_EQ(target->QueryInterface(c.iid, &object), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(object, static_cast<void*>(static_cast<IDropTarget*>(target)));
            EXPECT_EQ(target->Release(), 1u);
        } else {
            EXPECT_EQ(object, nullptr);
        }
    }

    // DragOver repeats the entry's answer, and sends nothing.
    for (int32_t answer : {0, -2}) {
        taker->answers = {{"Drag-Enter", answer}};
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        ASSERT_EQ(target->DragEnter(data.get(), MK_LBUTTON, point, &effect), S_OK);
        const DWORD entered = effect;
        EXPECT_EQ(entered, answer == 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE);
        effect = DROPEFFECT_COPY;
        ASSERT_EQ(target->DragOver(MK_LBUTTON, point, &effect), S_OK);
        EXPECT_EQ(effect, entered) << "answer " << answer;
        ASSERT_EQ(target->DragLeave(), S_OK);
    }
    EXPECT_EQ(trace, (std::vector<std::string>{"Drag-Enter ab @3,4", "Drag-Leave @0,0", "Drag-Enter ab @3,4",
                                               "Drag-Leave @0,0"}));

    // A target that outlives its control refuses without a message.
    target->AddRef();
    taker->Destroy();
    trace.clear();
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(data.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(target->DragLeave(), S_OK);
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(DropTargetTest, TheSameDragTypesAgainRegisterNothing)
{
    CXUIWindow* window = nullptr;
    DragTaker* parent = MakeTaker(window);
    auto* child = new DragTaker(&trace, {10, 10, 60, 40, false}, UICustomControlBase::kWindowlessHint);
    parent->AddChild(child, nullptr);
    child->Init();
    ASSERT_EQ(child->GetNativeHandle(), nullptr);

    child->SetDragTypes({"TEXT", "filepath"});
    EXPECT_EQ(parent->descendantDragTypes, (std::map<CXString, int32_t>{{"TEXT", 1}, {"filepath", 1}}));
    EXPECT_EQ(parent->registrationUpdates, 1);
    UICustomControlDropTarget* target = parent->GetDropTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetReferenceCount(), 2u) << "the control's reference and the window's";

    const int childUpdates = child->registrationUpdates;
    child->SetDragTypes({"TEXT", "filepath"});
    parent->UpdateDropRegistration();
    EXPECT_EQ(child->registrationUpdates, childUpdates);
    EXPECT_EQ(parent->registrationUpdates, 2);
    EXPECT_EQ(parent->GetDropTarget(), target);
    EXPECT_EQ(target->GetReferenceCount(), 2u);
    EXPECT_EQ(parent->descendantDragTypes.size(), 2u);

    // What a drag over the windowless child reaches is the windowed parent's target.
    parent->answers = {{"Drag-Enter", 0}, {"Drag-Receive", 0}};
    DataObjectRef data = MakeTextDrop("x");
    EXPECT_TRUE(harness.Drag(data.get(), {Screen(parent->GetNativeHandle(), {20, 20})}).dropped);
    window->Destroy();
}

// A view sets its drag types before it has a window, and its window is made again when it is
// added: the target must reach every window, and leave each before the window goes.
TEST_F(DropTargetTest, AControlTypedAndInitialisedBeforeItIsAddedTakesDragsAndLeaksNothing)
{
    CXDebugCapture capture;
    CXUIWindow* window = MakeWindow();
    auto* taker = new DragTaker(&trace, {20, 30, 220, 130, false});
    taker->SetDragTypes({"TEXT"});
    taker->Init();
    window->AddChild(taker, nullptr);
    ASSERT_TRUE(harness.PumpUntilIdle());
    HWND handle = taker->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    HWND found = nullptr;
    EXPECT_EQ(DropTargetAtPoint(Screen(handle, {5, 5}), &found), taker->GetDropTarget());
    EXPECT_EQ(found, handle);

    taker->answers = {{"Drag-Enter", 0}, {"Drag-Receive", 0}};
    DataObjectRef data = MakeTextDrop("dropped");
    const DragResult result = harness.Drag(data.get(), {Screen(handle, {5, 5}), Screen(handle, {6, 6})});
    EXPECT_TRUE(result.dropped);
    EXPECT_EQ(trace.size(), 2u);
    window->Destroy();
    EXPECT_FALSE(capture.Contains("destroyed with its drop target")) << "a window went with the target registered";
}

TEST_F(DropTargetTest, AControlsWindowThatDiesWithItsParentGivesUpItsTarget)
{
    CXDebugCapture capture;
    CXUIWindow* window = MakeWindow();
    auto* taker = new DragTaker(&trace, {20, 30, 220, 130, false});
    window->AddChild(taker, nullptr);
    taker->Init();
    taker->SetDragTypes({"TEXT"});
    ASSERT_TRUE(harness.PumpUntilIdle());
    ASSERT_NE(taker->GetNativeHandle(), nullptr);
    ASSERT_NE(taker->GetDropTarget(), nullptr);
    // The top-level window goes by itself, taking the control's window with it.
    DestroyWindow(window->GetNativeHandle());
    EXPECT_FALSE(capture.Contains("destroyed with its drop target")) << "the target's reference was lost";
    window->Destroy();
}

// --- The generic-native adapter ---

// A native control with a static window.
class NativeBox : public CXUIControl {
public:
    explicit NativeBox(Box2i frame) { SetLayout(frame.left, frame.top, frame.right, frame.bottom, 0, 0); }

protected:
    void CreateNativeWindow() override { (void)CreateControlWindow(0, u"STATIC", WS_CHILD | SS_LEFT, CXString()); }
};

class AdapterTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        UIAppearanceAdapterGenericNative::Register();
    }
    void TearDown() override
    {
        UIAppearanceAdapterGenericNative::Unregister();
        WindowElementTest::TearDown();
    }

    // A window with a windowless (generic) custom control at {40, 30, 240, 130} of its client
    // area, holding a native box at {10, 20, 110, 50} of it: answers the element added.
    UIElement* MakeWrapped(CXUIWindow*& window, UICustomControl*& generic, NativeBox*& box)
    {
        window = MakeWindow();
        generic = new UICustomControl;
        generic->SetCompositingHint(UICustomControlBase::kWindowlessHint);
        generic->SetLayout(40, 30, 240, 130, 0, 0);
        window->AddChild(generic, nullptr);
        generic->Init();
        box = new NativeBox({10, 20, 110, 50, false});
        box->Init();
        UIElement* added = generic->AddChild(box, nullptr);
        EXPECT_TRUE(harness.PumpUntilIdle());
        return added;
    }

    // The window's rectangle in the client area of the top-level window.
    static Box2i InClient(HWND hwnd, const CXUIWindow* window)
    {
        RECT rect = {};
        GetWindowRect(hwnd, &rect);
        POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
        MapWindowPoints(HWND_DESKTOP, window->GetNativeHandle(), corners, 2);
        return {corners[0].x, corners[0].y, corners[1].x, corners[1].y, false};
    }
};

TEST_F(AdapterTest, ANativeControlUnderAGenericParentLivesInAnAdapterThatFollowsIt)
{
    CXUIWindow* window = nullptr;
    UICustomControl* generic = nullptr;
    NativeBox* box = nullptr;
    UIElement* added = MakeWrapped(window, generic, box);
    ASSERT_EQ(generic->GetNativeHandle(), nullptr);
    auto* adapter = dynamic_cast<UICustomControlGenericNativeAdapter*>(added);
    ASSERT_NE(adapter, nullptr);
    EXPECT_TRUE(adapter->IsAdapter());
    EXPECT_EQ(adapter->GetWrapped(), box);
    EXPECT_EQ(box->GetParent(), adapter);
    EXPECT_EQ(adapter->GetParent(), generic);
    HWND adapterWindow = adapter->GetNativeHandle();
    HWND boxWindow = box->GetNativeHandle();
    ASSERT_NE(adapterWindow, nullptr);
    ASSERT_NE(boxWindow, nullptr);
    EXPECT_EQ(win32::GetParent(adapterWindow), window->GetNativeHandle());
    EXPECT_EQ(win32::GetParent(boxWindow), adapterWindow);
    EXPECT_EQ(InClient(adapterWindow, window), (Box2i{50, 50, 150, 80, false}));
    EXPECT_EQ(InClient(boxWindow, window), (Box2i{50, 50, 150, 80, false}));
    EXPECT_TRUE(IsWindowVisible(boxWindow));

    box->SetLayout(30, 40, 80, 60, 0, 0);
    EXPECT_EQ(InClient(adapterWindow, window), (Box2i{70, 70, 120, 90, false}));
    EXPECT_EQ(InClient(boxWindow, window), (Box2i{70, 70, 120, 90, false}));

    box->SetVisible(false);
    EXPECT_FALSE(adapter->IsVisible());
    EXPECT_FALSE(IsWindowVisible(adapterWindow));
    box->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(boxWindow));

    // Hidden and shown again with its generic parent, it comes back at its place.
    generic->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(boxWindow));
    generic->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(boxWindow));
    EXPECT_EQ(win32::GetParent(adapterWindow), window->GetNativeHandle());
    EXPECT_EQ(InClient(boxWindow, window), (Box2i{70, 70, 120, 90, false}));
    window->Destroy();
}

TEST_F(AdapterTest, TheAdapterWrapsNativeControlsOnlyAndNeverAnAdapter)
{
    CXUIWindow* window = nullptr;
    UICustomControl* generic = nullptr;
    NativeBox* box = nullptr;
    UIElement* adapter = MakeWrapped(window, generic, box);
    UIAppearanceImplementationAdapter* wrapper = UIAppearanceImplementationAdapter::FindAdapter(
        UIAppearanceGeneric_Implementation::Get(), UIAppearanceWin32_Implementation::Get());
    ASSERT_NE(wrapper, nullptr);

    CXDebugCapture capture;
    EXPECT_EQ(wrapper->CreateWrapperForUIElement(adapter), nullptr);
    EXPECT_EQ(capture.Count("UIAppearanceAdapterGenericNative::CreateWrapperForUIElement> oops?"), 1u);
    EXPECT_EQ(adapter->GetParent(), generic) << "left where it was";
    SpyElement plain("plain", nullptr);
    EXPECT_EQ(wrapper->CreateWrapperForUIElement(&plain), nullptr);
    EXPECT_EQ(capture.Lines().size(), 1u);
    window->Destroy();
}

TEST_F(AdapterTest, AnAdapterDiesSafelyWhenItsControlLeavesIt)
{
    struct Case {
        const char* name;
        std::function<void(NativeBox*, CXUIWindow*)> leave;
    };
    const Case cases[] = {
        {"removed", [](NativeBox* box, CXUIWindow*) { box->RemoveFromParent(); }},
        {"moved elsewhere", [](NativeBox* box, CXUIWindow* window) { window->AddChild(box, nullptr); }},
        {"destroyed", [](NativeBox* box, CXUIWindow*) { box->Destroy(); }},
    };
    for (const Case& c : cases) {
        CXUIWindow* window = nullptr;
        UICustomControl* generic = nullptr;
        NativeBox* box = nullptr;
        CXSafePointer<UIElement> adapter(MakeWrapped(window, generic, box));
        ASSERT_TRUE(adapter) << c.name;
        CXSafePointer<UIElement> kept(box);
        c.leave(box, window);
        EXPECT_FALSE(adapter) << c.name;
        EXPECT_EQ(generic->FirstChild(), nullptr) << c.name;
        EXPECT_TRUE(harness.PumpUntilIdle());
        if (kept && kept->GetParent() == nullptr)
            kept->Destroy();
        window->Destroy();
    }
}

} // namespace
} // namespace toolkittest
