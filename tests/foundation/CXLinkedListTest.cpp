#include "foundation/CXDebug.h"
#include "foundation/CXLinkedList.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Item : CXLinkedListNode {
    explicit Item(int v) : value(v) {}
    int value;
};

// The values from first to last, checking on the way that every back link and list link agrees.
std::vector<int> Values(const CXLinkedListHead& list)
{
    std::vector<int> out;
    CXLinkedListNode* previous = nullptr;
    for (CXLinkedListIterator it = list.begin(); it != list.end(); ++it) {
        EXPECT_EQ(it->prev(), previous);
        EXPECT_EQ(it->list(), &list);
        out.push_back(it.Get<Item>()->value);
        previous = it.node();
    }
    EXPECT_EQ(list.last(), previous);
    return out;
}

TEST(CXLinkedListTest, InsertRemoveAndIterate)
{
    Item a(1), b(2), c(3), d(4), e(5);
    CXLinkedListHead list;
    EXPECT_TRUE(list.IsEmpty());
    list.Insert(b);
    list.Insert(a);
    list.InsertLast(d);
    list.InsertBefore(c, d);
    list.InsertBefore(e, a);
    EXPECT_EQ(Values(list), (std::vector<int>{5, 1, 2, 3, 4}));

    CXLinkedListIterator at = list.GetIteratorForNode(&c);
    ASSERT_TRUE(at);
    EXPECT_EQ(at.Get<Item>()->value, 3);
    ++at;
    EXPECT_EQ(at.Get<Item>()->value, 4);
    ++at;
    EXPECT_FALSE(at);
    EXPECT_EQ(at.Get<Item>(), nullptr);

    for (Item* item : {&c, &e, &d}) { // middle, first, last
        list.Remove(*item);
        EXPECT_EQ(item->list(), nullptr);
        EXPECT_EQ(item->prev(), nullptr);
        EXPECT_EQ(item->next(), nullptr);
    }
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));

    // Removing while walking: take the next node first.
    for (CXLinkedListIterator it = list.begin(); it;) {
        CXLinkedListNode& node = *it;
        ++it;
        list.Remove(node);
    }
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.last(), nullptr);

    list.InsertLast(a);
    Item copied(a);
    EXPECT_EQ(copied.list(), nullptr) << "a copy of a linked element is in no list";
    list.Remove(a);
}

TEST(CXLinkedListTest, MisuseReportsAndChangesNothing)
{
    Item a(1), b(2), c(3), loose(9);
    CXLinkedListHead first, second;
    first.InsertLast(a);
    first.InsertLast(b);
    second.InsertLast(c);

    CXDebugCapture capture;
    first.Insert(c);
    first.InsertLast(c);
    second.Insert(a);
    first.InsertBefore(c, a);
    first.InsertBefore(loose, c);
    first.Remove(c);
    first.Remove(loose);
    EXPECT_FALSE(first.GetIteratorForNode(&c));
    EXPECT_FALSE(first.GetIteratorForNode(nullptr));

    struct Expect {
        const char* text;
        size_t count;
    };
    const Expect expected[] = {
        {"CXLinkedListHead::Insert> Node is already in list.", 2},
        {"CXLinkedListHead::InsertLast> Node is already in list.", 1},
        {"CXLinkedListHead::InsertBefore> Node is already in list.", 1},
        {"CXLinkedListHead<T>::InsertBetween> 'before' is not a member of this list.", 1},
        {"CXLinkedListHead::Remove> Node is not in this list.", 2},
        {"CXLinkedListHead::GetIteratorForNode> Node is not in this list", 1},
        {"CXLinkedListHead::GetIteratorForNode> NULL node", 1},
    };
    for (const Expect& e : expected)
        EXPECT_EQ(capture.Count(e.text), e.count) << e.text;
    EXPECT_EQ(capture.ErrorCount(), 9u);

    EXPECT_EQ(Values(first), (std::vector<int>{1, 2}));
    EXPECT_EQ(Values(second), (std::vector<int>{3}));
    EXPECT_EQ(loose.list(), nullptr);
    first.Remove(a);
    first.Remove(b);
    second.Remove(c);
}

TEST(CXLinkedListTest, DestroyingANonEmptyListReports)
{
    Item a(1);
    CXDebugCapture capture;
    {
        CXLinkedListHead list;
        list.Insert(a);
    }
    EXPECT_EQ(capture.Count("~CXLinkedListHead> List not empty."), 1u);
    {
        CXLinkedListHead list;
        Item b(2);
        list.Insert(b);
        list.Remove(b);
    }
    EXPECT_EQ(capture.ErrorCount(), 1u);
}

} // namespace
