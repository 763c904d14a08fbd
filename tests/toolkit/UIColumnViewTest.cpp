#include "toolkit/UIColumnView.h"

#include "GrafTesting.h"
#include "ToolkitWindowTesting.h"
#include "datanode/CXMessageDNValueParam.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "streams/CXStreamFile.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/CXMenu.h"
#include "toolkit/UIMessageLoop.h"

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using Column = UIColumnViewColumn;

// A column that sorts and can be hidden and shown again.
Column MakeColumn(int32_t id, const char* title, int32_t width, int32_t minWidth, int32_t maxWidth)
{
    Column column;
    column.columnId = id;
    column.title = title;
    column.width = width;
    column.minWidth = minWidth;
    column.maxWidth = maxWidth;
    column.sortable = 1;
    column.removable = 1;
    column.insertable = 1;
    return column;
}

// A one-pixel 32-bit BMP.
std::string OnePixelBmp()
{
    std::string file = "BM";
    auto put32 = [&file](uint32_t value) {
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    for (uint32_t value : {0u, 0u, 54u, 40u, 1u, 1u, 1u | (32u << 16), 0u, 0u, 0u, 0u, 0u, 0u})
        put32(value);
    file += std::string("\x40\x80\xC0\xFF", 4);
    return file;
}

class UIColumnViewTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        for (const char* name : {"zoom-in-icon.bmp", "zoom-out-icon.bmp", "more-on-left.bmp", "more-on-right.bmp"}) {
            std::filesystem::create_directories(fScratch.Path() + "/data");
            std::ofstream(fScratch.Path() + "/data/" + name, std::ios::binary) << OnePixelBmp();
        }
        window = MakeWindow();
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // A view of width x 24 at the window's top-left, with no columns or these three: A "Name"
    // [0, 60), B [60, 160) with two icons and no title, C "Size" [160, 240), which can be neither
    // sorted nor hidden. It records the messages it sends as "<name>", for an icon click
    // "<name> <column-id> <icon-flag>", for the menu "<name> <column> [item 'sub-item' ...] ...".
    UIColumnView* MakeView(int32_t width = 300, bool withColumns = true)
    {
        auto* view = new UIColumnView;
        if (withColumns) {
            view->AddColumn(MakeColumn(10, "Name", 60, 20, 150));
            Column b = MakeColumn(11, "", 100, 50, 120);
            b.iconFlags = Column::kIconZoomIn | Column::kIconZoomOut;
            view->AddColumn(b);
            Column c = MakeColumn(12, "Size", 80, 10, 200);
            c.sortable = 0;
            c.removable = 0;
            view->AddColumn(c);
        }
        view->SetLayout(0, 0, width, 24, 0, 0);
        view->Init();
        window->AddChild(view, nullptr);
        view->AddMessageHandler([this, view](const CXMessage& message) -> CXResultCode {
            if (message.GetSource() != view)
                return kCXNotSupported;
            std::string line = message.GetName().c_str();
            if (line == "UIColumnView-icon-click") {
                auto& folder = const_cast<CXMessageDNValueParam&>(static_cast<const CXMessageDNValueParam&>(message));
                line += " " + std::to_string(folder.Find(DNRawData("column-id"))->GetValue()->GetInt()) + " " +
                        std::to_string(folder.Find(DNRawData("icon-flag"))->GetValue()->GetInt());
            }
            if (line == "prepare-contextual-menu") {
                const auto& prepare = static_cast<const UIColumnViewMenuMessage&>(message);
                line += " " + std::to_string(prepare.GetInteger());
                for (int32_t i = 0; i < prepare.GetMenu()->GetItemCount(); ++i) {
                    line += " [" + std::string(prepare.GetMenu()->GetItemTitle(i).c_str());
                    if (const CXMenu* sub = prepare.GetMenu()->GetItemSubMenu(i)) {
                        for (int32_t k = 0; k < sub->GetItemCount(); ++k)
                            line += " '" + std::string(sub->GetItemTitle(k).c_str()) + "'";
                    }
                    line += "]";
                }
            }
            sent.push_back(line);
            return kCXNotSupported;
        });
        return view;
    }
    static std::vector<int32_t> Widths(const UIColumnView* view)
    {
        std::vector<int32_t> widths;
        for (int32_t i = 0; i < view->GetColumnCount(); ++i)
            widths.push_back(view->GetColumn(i)->width);
        return widths;
    }
    static std::vector<int32_t> Ids(const UIColumnView* view)
    {
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < view->GetColumnCount(); ++i)
            ids.push_back(view->GetColumn(i)->columnId);
        return ids;
    }
    // A press at x, drags to each of the points, and a release at the last one (y 10 unless given).
    static void Gesture(UIColumnView* view, int32_t x, const std::vector<Vector2i>& drags)
    {
        Vector2i at{x, 10};
        (void)view->HandleMouse(at, 0, UICustomControlBase::kMousePress);
        for (Vector2i drag : drags) {
            at = drag;
            (void)view->HandleMouse(at, 0, UICustomControlBase::kMouseDrag);
        }
        (void)view->HandleMouse(at, 0, UICustomControlBase::kMouseRelease);
    }
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 500 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }

    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch.Path()};
    CXUIWindow* window = nullptr;
    UIMessageLoop loop;
    std::vector<std::string> sent;
};

const char* const kMoved = "UIColumnView-column-position-change";
const char* const kSorted = "UIColumnView-sort-order-change";

TEST_F(UIColumnViewTest, PressesAndDragsResizeOrReorder)
{
    struct Case {
        const char* name;
        int32_t scroll;
        int32_t press;
        std::vector<Vector2i> drags;
        std::vector<int32_t> widths; // by column id 10, 11, 12
        std::vector<int32_t> ids;    // the order afterwards
        size_t moves;                // "column-position-change" messages
    };
    const Case cases[] = {
        {"2 px right of a border resizes", 0, 62, {{72, 10}}, {70, 100, 80}, {10, 11, 12}, 1},
        {"4 px left of a border does not", 0, 56, {{66, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"3 px left of a border is not in the zone", 0, 57, {{57, 20}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"the last column's border", 0, 241, {{251, 12}}, {60, 100, 90}, {10, 11, 12}, 1},
        {"a border moved by the scroll position", 40, 22, {{32, 10}}, {70, 100, 80}, {10, 11, 12}, 1},
        {"down to the minimum, and back only from the border", 0, 60,
         {{0, 10}, {10, 10}, {20, 10}, {30, 10}}, {30, 100, 80}, {10, 11, 12}, 2},
        {"up to the maximum, and back only from the border", 0, 160,
         {{300, 10}, {200, 10}, {180, 10}, {170, 10}}, {60, 110, 80}, {10, 11, 12}, 2},
        {"into the neighbour, not past its share", 0, 30, {{40, 10}, {99, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"past the neighbour's share", 0, 30, {{40, 10}, {100, 10}}, {60, 100, 80}, {11, 10, 12}, 1},
        {"and back past its share again", 0, 30, {{100, 10}, {61, 10}, {60, 10}}, {60, 100, 80}, {10, 11, 12}, 2},
        {"leftwards past the share", 0, 200, {{150, 10}, {140, 10}}, {60, 100, 80}, {10, 12, 11}, 1},
        {"beyond the last column", 0, 200, {{244, 10}, {400, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"before the first column", 0, 200, {{-10, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"beyond the last column from the first", 0, 30, {{300, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
        {"from a press on no column", 0, 280, {{30, 10}, {10, 10}}, {60, 100, 80}, {10, 11, 12}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UIColumnView* view = MakeView(c.scroll != 0 ? 200 : 300);
        view->GetHorizontalAxis().SetPosition(c.scroll);
        ASSERT_EQ(view->GetHorizontalAxis().GetPosition(), c.scroll);
        sent.clear();
        Gesture(view, c.press, c.drags);
        std::vector<int32_t> widths;
        for (int32_t id : {10, 11, 12}) {
            for (int32_t i = 0; i < view->GetColumnCount(); ++i)
                widths.push_back(view->GetColumn(i)->columnId == id ? view->GetColumn(i)->width : 0);
        }
        std::erase(widths, 0);
        EXPECT_EQ(widths, c.widths);
        EXPECT_EQ(Ids(view), c.ids);
        EXPECT_EQ(sent, std::vector<std::string>(c.moves, kMoved)) << "nothing sorts after a resize or a drag";
        EXPECT_EQ(view->IsLayoutChanged(), c.moves > 0);
        view->Destroy();
    }
}

TEST_F(UIColumnViewTest, ClicksSortAlsoAfterAResizeAndACancel)
{
    UIColumnView* view = MakeView();
    auto key = [view]() {
        std::string state;
        for (int32_t i = 0; i < view->GetColumnCount(); ++i) {
            const Column* column = view->GetColumn(i);
            state += column->isSortKey != 0 ? (column->isAscendingSort != 0 ? "^" : "v") : "-";
        }
        return state;
    };
    struct Step {
        const char* name;
        int32_t press;
        std::vector<Vector2i> drags;
        std::string key;
        std::vector<std::string> sent;
    };
    const Step steps[] = {
        {"a click makes the only key, ascending", 30, {}, "^--", {kSorted}},
        {"a second click flips it", 30, {{32, 12}}, "v--", {kSorted}},
        {"another column takes the key", 140, {}, "-^-", {kSorted}},
        {"a column that does not sort", 200, {}, "-^-", {}},
        {"a resize", 62, {{70, 10}}, "-^-", {kMoved}},
        {"a click after the resize", 30, {}, "^--", {kSorted}},
        {"a drag that moves nothing", 30, {{30, 20}}, "^--", {}},
        {"a click after the drag", 30, {}, "v--", {kSorted}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        sent.clear();
        Gesture(view, step.press, step.drags);
        EXPECT_EQ(key(), step.key);
        EXPECT_EQ(sent, step.sent);
    }

    // A cancel ends a gesture without its release: no sort, and the next click counts.
    sent.clear();
    (void)view->HandleMouse({30, 10}, 0, UICustomControlBase::kMousePress);
    (void)view->HandleMouse({30, 10}, 0, UICustomControlBase::kMouseCancel);
    (void)view->HandleMouse({70, 10}, 0, UICustomControlBase::kMousePress);
    (void)view->HandleMouse({74, 10}, 0, UICustomControlBase::kMouseDrag);
    (void)view->HandleMouse({74, 10}, 0, UICustomControlBase::kMouseCancel);
    EXPECT_EQ(sent, std::vector<std::string>{kMoved}) << "what the drag did stays";
    Gesture(view, 30, {});
    EXPECT_EQ(key(), "^--");
    EXPECT_EQ(sent, (std::vector<std::string>{kMoved, kSorted}));

    // Through the window: a real click, and a lost capture as the cancel.
    sent.clear();
    HWND handle = view->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    harness.Click(handle, {30, 10});
    TurnWhileReady();
    EXPECT_EQ(sent, std::vector<std::string>{kSorted});
    harness.Press(CenterOf(ClientOnScreen(handle)));
    TurnWhileReady();
    ReleaseCapture();
    TurnWhileReady();
    EXPECT_EQ(sent, std::vector<std::string>{kSorted}) << "a press ended by a lost capture sorts nothing";
    harness.Release(CenterOf(ClientOnScreen(handle)));
    TurnWhileReady();
    EXPECT_EQ(sent, std::vector<std::string>{kSorted});
}

TEST_F(UIColumnViewTest, AnIconClickNamesTheColumnAndTheIcon)
{
    // B's icons, without a title: zoom-in at [76, 92), zoom-out at [100, 116), rows [4, 20).
    UIColumnView* view = MakeView();
    struct Case {
        const char* name;
        Vector2i press;
        Vector2i release;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"zoom-in", {76, 4}, {91, 19}, {"UIColumnView-icon-click 11 1"}},
        {"zoom-out", {110, 10}, {112, 12}, {"UIColumnView-icon-click 11 2"}},
        {"released over the other icon", {80, 10}, {102, 10}, {}},
        {"released off the icon", {80, 10}, {80, 21}, {}},
        {"between the icons the title sorts", {95, 10}, {95, 10}, {kSorted}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        (void)view->HandleMouse(c.press, 0, UICustomControlBase::kMousePress);
        (void)view->HandleMouse(c.release, 0, UICustomControlBase::kMouseRelease);
        EXPECT_EQ(sent, c.sent);
    }
    EXPECT_EQ(view->IconAt(1, {76, 3}), 0u);
    EXPECT_EQ(view->IconAt(1, {75, 10}), 0u);
    EXPECT_EQ(view->IconAt(1, {115, 19}), Column::kIconZoomOut);
}

TEST_F(UIColumnViewTest, DrawingPlacesTitlesIconsAndLines)
{
    UIColumnView* view = MakeView();
    RecordingGraf graf;
    auto bitmaps = [&graf]() {
        std::vector<int32_t> lefts;
        for (const RecordingGraf::Call& call : graf.Calls()) {
            if (call.name == "DrawBitmap")
                lefts.push_back(call.box.left);
        }
        return lefts;
    };
    view->Draw(graf);
    std::vector<RecordingGraf::Call> titles;
    std::vector<RecordingGraf::Call> lines;
    for (const RecordingGraf::Call& call : graf.Calls()) {
        if (call.name == "DrawStringFitted")
            titles.push_back(call);
        if (call.name == "DrawLine")
            lines.push_back(call);
    }
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0].text, "Name");
    EXPECT_EQ(titles[0].point.x, 8);
    EXPECT_EQ(titles[0].value, 52) << "the cell less the inset";
    EXPECT_EQ(titles[1].point.x, 68);
    EXPECT_EQ(titles[1].value, 100 - 8 - 2 * 24) << "and less the two icons' room";
    EXPECT_EQ(titles[2].point.x, 168);
    // Centred on the height of a full line of the face.
    RazaFont face("Segoe UI", 12);
    RazaFontMetrics metrics;
    ASSERT_TRUE(face.GetMetrics(metrics));
    for (const RecordingGraf::Call& title : titles)
        EXPECT_EQ(title.point.y + 3, (24 + metrics.ascent + metrics.descent) / 2) << title.text;
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].point, (Vector2i{59, 0}));
    EXPECT_EQ(lines[0].to, (Vector2i{59, 24}));
    EXPECT_EQ(lines[2].point, (Vector2i{239, 0}));
    EXPECT_EQ(lines[3].point, (Vector2i{0, 23}));
    EXPECT_EQ(lines[3].to, (Vector2i{300, 23}));
    EXPECT_EQ(bitmaps(), (std::vector<int32_t>{76, 100}));

    // The pressed icon is left out until the press ends.
    (void)view->HandleMouse({80, 10}, 0, UICustomControlBase::kMousePress);
    graf.Clear();
    view->Draw(graf);
    EXPECT_EQ(bitmaps(), std::vector<int32_t>{100});
    (void)view->HandleMouse({80, 10}, 0, UICustomControlBase::kMouseRelease);
    graf.Clear();
    view->Draw(graf);
    EXPECT_EQ(bitmaps(), (std::vector<int32_t>{76, 100}));
    (void)view->HandleMouse({104, 10}, 0, UICustomControlBase::kMousePress);
    (void)view->HandleMouse({104, 10}, 0, UICustomControlBase::kMouseCancel);
    graf.Clear();
    view->Draw(graf);
    EXPECT_EQ(bitmaps(), (std::vector<int32_t>{76, 100})) << "a cancel ends the press";

    // Scrolled by 50, and with B narrower than its icons: no title at a negative width.
    view->SetLayout(0, 0, 150, 24, 0, 0);
    view->GetHorizontalAxis().SetPosition(50);
    Gesture(view, 60 - 50 + 2, {{-40, 10}});
    ASSERT_EQ(view->GetColumn(0)->width, 20);
    graf.Clear();
    view->Draw(graf);
    titles.clear();
    for (const RecordingGraf::Call& call : graf.Calls()) {
        if (call.name == "DrawStringFitted")
            titles.push_back(call);
    }
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0].point.x, -50 + 8);
    EXPECT_EQ(titles[0].value, 12);
    EXPECT_EQ(titles[1].point.x, -30 + 8);
    EXPECT_EQ(titles[2].value, 72);
    EXPECT_EQ(view->GetHorizontalAxis().GetMaximum(), 200 - 150);

    UIColumnView* narrow = MakeView();
    Column tight = MakeColumn(13, "Wide title", 40, 10, 100);
    tight.iconFlags = Column::kIconMoreLeft | Column::kIconMoreRight;
    narrow->AddColumn(tight);
    graf.Clear();
    narrow->Draw(graf);
    const RecordingGraf::Call* drawn = nullptr;
    for (const RecordingGraf::Call& call : graf.Calls()) {
        if (call.name == "DrawStringFitted" && call.text == "Wide title")
            drawn = &call;
    }
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->value, 40 - 8 - 48);
    const RecordingGraf::Call* next = drawn + 1;
    ASSERT_NE(next, graf.Calls().data() + graf.Calls().size());
    EXPECT_EQ(next->depth, 0) << "no title drawn: " << next->name << " '" << next->text << "'";
    narrow->Destroy();
    view->Destroy();
}

TEST_F(UIColumnViewTest, HiddenColumnsTakeNoRoomAndKeepTheirWidths)
{
    UIColumnView* view = MakeView();
    view->HideColumn(0);
    view->HideColumn(1);
    view->HideColumn(2);
    EXPECT_EQ(sent, (std::vector<std::string>{kMoved, kMoved})) << "C may not be hidden";
    EXPECT_EQ(view->TotalWidth(), 80);
    EXPECT_EQ(view->ColumnAt(10), 2);
    Gesture(view, 82, {{90, 10}});
    EXPECT_EQ(view->GetColumn(2)->width, 88) << "the visible column's border at 80";
    view->Destroy();

    // The last visible column hidden leaves an empty header; shown again it has its width.
    UIColumnView* lone = MakeView(300, false);
    lone->AddColumn(MakeColumn(20, "Only", 70, 10, 100));
    sent.clear();
    lone->HideColumn(0);
    EXPECT_EQ(lone->TotalWidth(), 0);
    EXPECT_EQ(lone->ColumnAt(10), -1);
    RecordingGraf graf;
    lone->Draw(graf);
    EXPECT_EQ(graf.Names(), (std::vector<std::string>{"FillBox", "DrawLine"})) << "the background and the bottom line";
    lone->ShowColumn(0);
    lone->ShowColumn(0);
    EXPECT_EQ(sent, (std::vector<std::string>{kMoved, kMoved})) << "a visible column is not shown again";
    EXPECT_EQ(lone->TotalWidth(), 70);
    EXPECT_EQ(lone->GetColumn(0)->width, 70);
    for (int32_t index : {-1, 1}) {
        lone->ShowColumn(index);
        lone->HideColumn(index);
    }
    EXPECT_EQ(sent.size(), 2u);
    lone->Destroy();
}

TEST_F(UIColumnViewTest, TheContextMenuRemovesAndInsertsColumns)
{
    UIColumnView* view = MakeView();
    HWND handle = view->GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    window->BringToFront();
    auto rightClick = [&](POINT at, std::vector<UINT> keys) {
        if (!keys.empty()) {
            harness.AddStep([this, keys] {
                for (UINT key : keys)
                    harness.KeyDown(key);
            });
        }
        harness.Click(handle, at, VK_RBUTTON);
        TurnWhileReady();
    };

    // On B: only the remove item, as nothing is hidden yet.
    rightClick({100, 10}, {VK_DOWN, VK_RETURN});
    EXPECT_EQ(sent, (std::vector<std::string>{"prepare-contextual-menu 1 [contextual-menu-remove-column]", kMoved}));
    EXPECT_EQ(view->GetColumn(1)->isVisible, 0);

    // On A: the remove item and the list of hidden columns.
    sent.clear();
    rightClick({30, 10}, {VK_DOWN, VK_RETURN});
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "prepare-contextual-menu 0 [contextual-menu-remove-column] [menu-insert-column '']", kMoved}));
    EXPECT_EQ(view->GetColumn(0)->isVisible, 0);

    // On C, which may not be hidden: only the list, whose second entry shows B again.
    sent.clear();
    rightClick({30, 10}, {VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
    EXPECT_EQ(sent, (std::vector<std::string>{"prepare-contextual-menu 2 [menu-insert-column 'Name' '']", kMoved}));
    EXPECT_EQ(view->GetColumn(0)->isVisible, 0);
    EXPECT_EQ(view->GetColumn(1)->isVisible, 1);
    EXPECT_EQ(view->GetColumn(1)->width, 100);

    // Past the columns: nothing to remove; closed without a choice.
    sent.clear();
    rightClick({290, 10}, {VK_ESCAPE});
    EXPECT_EQ(sent, std::vector<std::string>{"prepare-contextual-menu -1 [menu-insert-column 'Name']"});
    EXPECT_EQ(view->GetColumn(0)->isVisible, 0);
    EXPECT_FALSE(harness.Deadlocked());

    // A removal command outside a menu has no column to hide.
    sent.clear();
    EXPECT_EQ(view->HandleMessage(CXMessage("contextual-menu-remove-column", nullptr)), kCXOK);
    EXPECT_TRUE(sent.empty());
}

TEST_F(UIColumnViewTest, AChangedLayoutIsSavedWhenTheViewGoes)
{
    DNInitBuiltInTranslators();
    const std::string path = fScratch.Path() + "/settings.txt";
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    CXAutoReference<CXApplicationSettings> settings;
    settings.Swallow(new CXApplicationSettings(path.c_str(), root));

    // Each kind of layout change alone is saved; what changes no layout saves nothing.
    struct Case {
        const char* name;
        std::function<void(UIColumnView*)> act;
        bool saved;
    };
    const Case cases[] = {
        {"unchanged", [](UIColumnView*) {}, false},
        {"resized", [](UIColumnView* v) { Gesture(v, 62, {{70, 10}}); }, true},
        {"reordered", [](UIColumnView* v) { Gesture(v, 30, {{100, 10}}); }, true},
        {"sorted", [](UIColumnView* v) { Gesture(v, 30, {}); }, true},
        {"hidden", [](UIColumnView* v) { v->HideColumn(0); }, true},
        {"shown", [](UIColumnView* v) {
             v->HideColumn(0);
             v->SaveColumnSettings();
             v->ShowColumn(0);
         }, true},
        {"an icon clicked", [](UIColumnView* v) { Gesture(v, 80, {}); }, false},
        {"a border pressed and let go", [](UIColumnView* v) { Gesture(v, 62, {}); }, false},
        {"dragged without a move", [](UIColumnView* v) { Gesture(v, 30, {{30, 30}}); }, false},
        {"a column added", [](UIColumnView* v) { v->AddColumn(MakeColumn(13, "New", 50, 10, 90)); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DNValueRef memory = DNAdopt<DNValue>(new DNMemoryValue);
        CXAutoReference<CXApplicationSettings> store;
        store.Swallow(new CXApplicationSettings(CXString(), memory));
        UIColumnView* view = MakeView();
        view->SetLayoutStore(store.get(), "columns");
        c.act(view);
        view->Destroy();
        EXPECT_EQ(memory->Count(), c.saved ? 1u : 0u);
    }

    UIColumnView* view = MakeView();
    view->SetLayoutStore(settings.get(), "columns");
    Gesture(view, 62, {{82, 10}});
    Gesture(view, 200, {});
    Gesture(view, 170, {});
    Gesture(view, 170, {});
    view->Destroy();

    CXStreamFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CXStreamFile::kModeRead));
    DNValueRef saved = TextConfig::Read(file);
    DNValueRef layout = saved->Find(DNRawData("columns"))->GetValue();
    EXPECT_EQ(layout->Find(DNRawData("version"))->GetValue()->GetInt(), 4);
    DNValueRef columns = layout->Find(DNRawData("columns"))->GetValue();
    ASSERT_EQ(columns->Count(), 3u);
    std::vector<std::string> lines;
    for (DNIteratorRef it = columns->First(); !it->AtEnd(); it->Next()) {
        DNValueRef column = it->GetValue();
        std::string line;
        for (DNIteratorRef entry = column->First(); !entry->AtEnd(); entry->Next())
            line += std::string(entry->GetKey()->GetString().c_str()) + "=" + entry->GetValue()->GetString().c_str() + " ";
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "column-id=10 width=80 is-sort-key=False is-visible=True ",
                         "column-id=11 width=100 is-sort-key=True is-ascending-sort=False is-visible=True ",
                         "column-id=12 width=80 is-sort-key=False is-visible=True ",
                     }));
}

} // namespace
} // namespace toolkittest
