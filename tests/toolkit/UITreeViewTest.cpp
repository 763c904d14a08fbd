#include "toolkit/UITreeView.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXTask.h"
#include "foundation/CXWorkerHost.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/RazaRegion.h"
#include "toolkit/UIEditTextControl.h"
#include "win32/gdi/MemoryCanvas.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace toolkittest {
namespace {

using Base = UICustomControlBase;

// A windowless element that shows a row and counts its own end.
class RowLabel : public UICustomControl {
public:
    explicit RowLabel(int* destroyed) : fDestroyed(destroyed) { compositingHint = kWindowlessHint; }
    ~RowLabel() override { ++*fDestroyed; }

private:
    int* fDestroyed;
};

// A tree of titled rows: opening a row inserts the children listed for its title; a row matches
// typed text its lower-cased title starts with; drags, editors and row elements on request.
class TestTree : public UITreeView {
public:
    std::map<std::string, std::vector<std::pair<std::string, bool>>> children;
    bool withRowElements = false;
    bool editable = false;
    bool draggable = true;
    int rowElementsMade = 0;
    int rowElementsDestroyed = 0;
    std::vector<Box2i> drags;
    std::vector<std::string> submitted;

    void RowOpened(int32_t row) override
    {
        const auto found = children.find(GetRow(row)->title.c_str());
        if (found == children.end())
            return;
        int32_t at = row + 1;
        for (const auto& [title, canOpen] : found->second)
            InsertRow(at++, GetRowLevel(row) + 1, title.c_str(), canOpen);
    }
    int32_t MatchScore(int32_t row, const std::string& text) override
    {
        std::string title = GetRow(row)->title.c_str();
        for (char& c : title) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return title.compare(0, text.size(), text) == 0 ? 1 : 0;
    }
    UIElement* CreateRowElement(int32_t) override
    {
        if (!withRowElements)
            return nullptr;
        ++rowElementsMade;
        return new RowLabel(&rowElementsDestroyed);
    }
    bool FillDragData(CXOSSoupDrag&) override { return draggable; }
    void PerformDrag(CXOSSoupDrag&, const Box2i& image) override { drags.push_back(image); }
    UIElement* CreateEditControl(int32_t row, int32_t) override
    {
        if (!editable)
            return nullptr;
        auto* field = new UIEditTextControl;
        const Box2i title = GetPartRect(row, kPartTitle);
        field->SetLayout(title.left, title.top, title.left + 120, title.top + 21, 0, 0);
        field->SetText(GetRow(row)->title);
        return field;
    }
    void SubmitPartEdits(int32_t row, int32_t part, UIElement* editor) override
    {
        submitted.push_back(std::to_string(row) + ":" + std::to_string(part) + " " +
                            static_cast<UIEditTextControl*>(editor)->GetText().c_str());
    }
};

class UITreeViewTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        harness.Advance(1000);
        window = MakeWindow();
        view = new TestTree;
        view->SetDefaultRowHeight(20);
        view->SetLayout(0, 0, 300, 200, 0, 0);
        view->Init();
        window->AddChild(view, nullptr);
        view->AddMessageHandler([this](const CXMessage& message) -> CXResultCode {
            if (message.GetSource() == view && message.GetName() == "tree-view-updated")
                updates.push_back(message.GetInteger());
            if (message.GetSource() == view && message.GetName() == "delete-selected")
                ++deletes;
            return kCXNotSupported;
        });
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // Rows from "<level><title>" strings, e.g. {"0A", "1a1"}.
    void Fill(const std::vector<std::string>& rows, bool canOpen = false)
    {
        for (const std::string& row : rows)
            view->InsertRow(view->GetRowCount(), row[0] - '0', row.substr(1).c_str(), canOpen);
        updates.clear();
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        for (int32_t row = 0; row < view->GetRowCount(); ++row)
            titles.push_back(std::to_string(view->GetRowLevel(row)) + view->GetRow(row)->title.c_str());
        return titles;
    }
    std::set<int32_t> Selection() const
    {
        std::set<int32_t> rows;
        for (int32_t row = 0; row < view->GetRowCount(); ++row) {
            if (view->IsRowSelected(row))
                rows.insert(row);
        }
        return rows;
    }
    void Key(char32_t code, int32_t modifiers = 0)
    {
        const char16_t text[2] = {static_cast<char16_t>(code), 0};
        (void)view->HandleText(text, 2, modifiers);
    }
    // A paint whose clip holds the rows between the two y values.
    void Paint(int32_t top, int32_t bottom)
    {
        win32test::MemoryCanvas canvas{300, 400};
        CXAutoReference<RazaGraf> graf;
        graf.Swallow(new RazaGraf(canvas.dc));
        graf->PushClipRegion(RazaRegion(Box2i{0, top, 300, bottom}), {0, 0});
        view->Draw(*graf);
        graf->PopClipRegion();
    }
    void Idle() { CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks(); }

    CXUIWindow* window = nullptr;
    TestTree* view = nullptr;
    std::vector<int32_t> updates;
    int deletes = 0;
};

TEST_F(UITreeViewTest, OneUpdatePerBatchWithTheUnionOfItsFlags)
{
    Fill({"0A", "0B", "0C"});
    view->BeginChanges();
    view->SelectRow(0, true);
    view->SelectRow(1, true);
    view->BeginChanges();
    view->RemoveRow(2);
    view->EndChanges();
    EXPECT_TRUE(updates.empty());
    view->EndChanges();
    EXPECT_EQ(updates, (std::vector<int32_t>{1 | 2 | 4}));

    updates.clear();
    view->SelectRow(0, true);
    EXPECT_EQ(updates, (std::vector<int32_t>{1}));
    updates.clear();
    view->RemoveRow(2);
    view->RemoveRow(-1);
    view->SelectRow(0, true); // unchanged
    EXPECT_TRUE(updates.empty());
    view->Clear();
    EXPECT_EQ(view->GetRowCount(), 0);
    EXPECT_EQ(updates, (std::vector<int32_t>{2}));
}

TEST_F(UITreeViewTest, ClosingARowRemovesOnlyItsDescendants)
{
    view->children["A"] = {{"a1", true}, {"a2", false}};
    view->children["a1"] = {{"x", false}};
    Fill({"0A", "0B"}, true);
    view->SetRowOpen(0, true);
    view->SetRowOpen(1, true);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"0A", "1a1", "2x", "1a2", "0B"}));

    view->SetRowOpen(3, true); // a2 cannot open
    EXPECT_FALSE(view->IsRowOpen(3));
    view->SetRowOpen(4, false); // B is closed already
    view->SetRowOpen(2, false);
    // B has no children: closing it again removes nothing after it.
    view->InsertRow(5, 0, "C");
    view->SetRowOpen(4, true);
    view->SetRowOpen(4, false);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"0A", "1a1", "2x", "1a2", "0B", "0C"}));

    view->SetRowOpen(1, false);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"0A", "1a1", "1a2", "0B", "0C"}));
    view->SetRowOpen(0, false);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"0A", "0B", "0C"}));
    EXPECT_FALSE(view->IsRowOpen(0));
}

TEST_F(UITreeViewTest, RowElementsExpireAfterFiveSecondsOffScreen)
{
    view->withRowElements = true;
    Fill({"0A", "0B", "0C"});
    Paint(0, 40);
    ASSERT_EQ(view->rowElementsMade, 2);
    const UITreeViewRow* first = view->GetRow(0);
    ASSERT_NE(first->rowElement.get(), nullptr);
    EXPECT_EQ(first->rowElement->GetParent(), view);
    EXPECT_EQ(first->rowElement->GetFrame(), (Box2i{0, 0, 300, 20, false}));

    harness.Advance(4999);
    Paint(40, 60);
    EXPECT_EQ(view->rowElementsDestroyed, 0);
    ASSERT_NE(first->rowElement.get(), nullptr);
    EXPECT_EQ(first->rowElement->GetParent(), nullptr) << "detached, not destroyed";

    harness.Advance(1);
    Paint(40, 60);
    EXPECT_EQ(view->rowElementsDestroyed, 2);
    EXPECT_EQ(view->GetRow(0)->rowElement.get(), nullptr);
    EXPECT_NE(view->GetRow(2)->rowElement.get(), nullptr);

    Paint(0, 20);
    EXPECT_EQ(view->rowElementsMade, 4);
    EXPECT_EQ(view->GetRow(0)->rowElement->GetParent(), view);
}

TEST_F(UITreeViewTest, RowsBelowTheLastOne)
{
    Fill({"0A", "0B", "0C"});
    struct Case {
        int32_t defaultHeight;
        int32_t y;
        int32_t row;
    };
    const Case cases[] = {
        {20, -1, -1}, {20, 0, 0}, {20, 59, 2}, {20, 60, 3}, {20, 100, 5},
        // Every row is 0 pixels tall: below them all lies the row count, not a division by 0.
        {0, 0, 3}, {0, 500, 3},
    };
    for (const Case& c : cases) {
        view->SetDefaultRowHeight(c.defaultHeight);
        EXPECT_EQ(view->RowAtY(c.y), c.row) << "height " << c.defaultHeight << " y " << c.y;
    }
    // Rows of height 0 are not selectable, and a paint draws none of them.
    Key(31);
    EXPECT_TRUE(Selection().empty());
    Paint(0, 200);
    EXPECT_EQ(view->GetBounds(), (Box2i{0, 0, 300, 0, false}));
}

TEST_F(UITreeViewTest, NavigationKeys)
{
    view->SetMultipleSelection(true);
    view->children["A"] = {{"a1", false}, {"a2", false}};
    view->children["B"] = {{"b1", false}};
    constexpr int32_t kShift = Base::kModifierShift;
    struct Case {
        const char* name;
        std::set<int32_t> before;
        char32_t key;
        int32_t modifiers;
        std::set<int32_t> after;
        int32_t anchor;
        std::vector<std::string> rows; // empty: unchanged
    };
    // Rows: 0 A (open), 1 a1, 2 a2, 3 B, 4 C.
    const Case cases[] = {
        {"Down, nothing selected", {}, 31, 0, {0}, 0, {}},
        {"Up, nothing selected", {}, 30, 0, {4}, 4, {}},
        {"Down", {1}, 31, 0, {2}, 2, {}},
        {"Up", {1}, 30, 0, {0}, 0, {}},
        {"Down at the end", {4}, 31, 0, {4}, 4, {}},
        {"Home", {2}, 1, 0, {0}, 0, {}},
        {"End", {1}, 4, 0, {4}, 4, {}},
        {"Page Down", {0}, 12, 0, {4}, 4, {}},
        {"Page Up", {4}, 11, 0, {0}, 0, {}},
        {"Shift Down", {3}, 31, kShift, {3, 4}, 4, {}},
        {"Shift Up", {3}, 30, kShift, {2, 3}, 2, {}},
        {"Shift End", {1}, 4, kShift, {1, 2, 3, 4}, 4, {}},
        {"Shift Home", {3}, 1, kShift, {0, 1, 2, 3}, 0, {}},
        {"Left to the parent", {2}, 28, 0, {0}, 0, {}},
        {"Left on a top row", {3}, 28, 0, {3}, 3, {}},
        {"Left closes", {0}, 28, 0, {0}, 0, {"0A", "0B", "0C"}},
        {"Right opens", {3}, 29, 0, {3}, 3, {"0A", "1a1", "1a2", "0B", "1b1", "0C"}},
        {"Backspace", {1}, 8, 0, {1}, 1, {}},
        {"Delete", {1}, 127, 0, {1}, 1, {}},
    };
    for (const Case& c : cases) {
        view->Clear();
        Fill({"0A", "0B", "0C"}, true);
        view->SetRowOpen(0, true);
        for (int32_t row : c.before)
            view->ClickRow(row, Base::kModifierControl);
        deletes = 0;
        Key(c.key, c.modifiers);
        EXPECT_EQ(Selection(), c.after) << c.name;
        EXPECT_EQ(view->GetAnchorRow(), c.anchor) << c.name;
        if (!c.rows.empty()) {
            EXPECT_EQ(Titles(), c.rows) << c.name;
        }
        EXPECT_EQ(deletes, c.key == 8 || c.key == 127 ? 1 : 0) << c.name;
    }
    // Return is left to others; other control characters are taken without effect.
    const char16_t ret[2] = {13, 0};
    EXPECT_FALSE(view->HandleText(ret, 2, 0));
    const char16_t tab[2] = {9, 0};
    EXPECT_TRUE(view->HandleText(tab, 2, 0));
}

TEST_F(UITreeViewTest, TypeAheadMatchesUtf8AndStartsAgainAfterAPause)
{
    Fill({"0Zeta", "0\xC3\xA9" "clair", "0Beta", "0Bar", "0Alpha"});
    const char16_t eAcute[2] = {u'\u00E9', 0};
    (void)view->HandleText(eAcute, 2, 0);
    EXPECT_EQ(view->GetTypedText(), "\xC3\xA9");
    EXPECT_EQ(Selection(), (std::set<int32_t>{1}));
    EXPECT_EQ(view->GetAnchorRow(), -1) << "type-ahead leaves the anchor";

    harness.Advance(1001);
    Key('B');
    EXPECT_EQ(Selection(), (std::set<int32_t>{2})) << "the first of equal matches";
    harness.Advance(1000);
    Key('a');
    EXPECT_EQ(view->GetTypedText(), "ba");
    EXPECT_EQ(Selection(), (std::set<int32_t>{3}));

    harness.Advance(1001);
    Key('a');
    EXPECT_EQ(view->GetTypedText(), "a");
    EXPECT_EQ(Selection(), (std::set<int32_t>{4}));

    Key('z', Base::kModifierControl);
    EXPECT_EQ(view->GetTypedText(), "");
    EXPECT_EQ(Selection(), (std::set<int32_t>{4}));
}

TEST_F(UITreeViewTest, DragStartsPastEightPixels)
{
    view->SetMultipleSelection(true);
    Fill({"0Row zero", "0Row one", "0Row two", "0Row three"});
    view->ClickRow(1, 0);
    view->ClickRow(2, Base::kModifierShift);
    ASSERT_EQ(Selection(), (std::set<int32_t>{1, 2}));

    const Vector2i press{5, 25};
    EXPECT_TRUE(view->HandleMouse(press, 0, Base::kMousePress));
    EXPECT_EQ(Selection(), (std::set<int32_t>{1, 2})) << "a press on a selected row keeps the selection";
    view->HandleMouse({press.x + 8, press.y}, 0, Base::kMouseDrag);
    EXPECT_TRUE(view->drags.empty());
    view->HandleMouse({press.x + 9, press.y}, 0, Base::kMouseDrag);
    ASSERT_EQ(view->drags.size(), 1u);
    const Box2i one = view->GetPartRect(1, UITreeView::kPartTitle);
    const Box2i two = view->GetPartRect(2, UITreeView::kPartTitle);
    EXPECT_EQ(view->drags[0], (Box2i{0, 21, std::max(one.right, two.right) + 2, 59, false}));
    view->HandleMouse({press.x + 20, press.y}, 0, Base::kMouseDrag);
    view->HandleMouse({press.x + 20, press.y}, 0, Base::kMouseRelease);
    EXPECT_EQ(view->drags.size(), 1u);
    EXPECT_EQ(Selection(), (std::set<int32_t>{1, 2})) << "the drag used the press";

    // A release without a drag selects the released row alone.
    harness.Advance(1000);
    view->HandleMouse(press, 0, Base::kMousePress);
    view->HandleMouse(press, 0, Base::kMouseRelease);
    EXPECT_EQ(Selection(), (std::set<int32_t>{1}));
}

TEST_F(UITreeViewTest, EditorClosesThroughTheMainThreadQueueAndSubmits)
{
    view->editable = true;
    Fill({"0Row zero", "0Row one"});
    view->OpenEditControl(1, UITreeView::kPartTitle);
    auto* field = dynamic_cast<UIEditTextControl*>(view->GetEditor());
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->GetParent(), view);
    EXPECT_EQ(field->GetText(), CXString("Row one"));
    field->SetText("Renamed");
    view->OpenEditControl(0, UITreeView::kPartTitle); // one editor at a time
    EXPECT_EQ(view->GetEditor(), field);

    Idle(); // the editor holding the focus stays open
    ASSERT_EQ(view->GetEditor(), field);

    view->HandleMouse({5, 5}, 0, Base::kMousePress);
    EXPECT_EQ(view->GetEditor(), field) << "closed later, not inside the press";
    EXPECT_TRUE(view->submitted.empty());
    view->HandleMouse({5, 5}, 0, Base::kMouseRelease);
    Idle();
    EXPECT_EQ(view->GetEditor(), nullptr);
    EXPECT_EQ(view->submitted, (std::vector<std::string>{"1:1 Renamed"}));
    CXWorkerHost::Shutdown();
}

TEST_F(UITreeViewTest, SelectAllAndItsStatus)
{
    const CXMessage status("update-command-status", nullptr, "edit-select-all");
    EXPECT_EQ(view->HandleMessage(status), -11);
    Fill({"0A", "0B"});
    EXPECT_EQ(view->HandleMessage(status), 0);
    EXPECT_EQ(view->HandleMessage(CXMessage("edit-select-all", nullptr)), 0);
    EXPECT_TRUE(Selection().empty()) << "single selection";
    view->SetMultipleSelection(true);
    EXPECT_EQ(view->HandleMessage(CXMessage("edit-select-all", nullptr)), 0);
    EXPECT_EQ(Selection(), (std::set<int32_t>{0, 1}));
}

} // namespace
} // namespace toolkittest
