#include "datanode/DNValue.h"

#include "DataNodeTesting.h"
#include "datanode/DNMemoryValue.h"
#include "foundation/CXDebug.h"
#include "streams/CXStream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace DataNodeTesting;

namespace {

// Records the names of the messages it receives, and what the iterator messages carried.
class Recorder : public CXMessageTarget {
public:
    CXResultCode HandleMessage(const CXMessage& message) override
    {
        names.push_back(message.GetName().c_str());
        if (message.GetName() == kDNIteratorValueChanged || message.GetName() == kDNIteratorKeyChanged)
            iterators.push_back(static_cast<const DNIteratorChangeMessage&>(message).GetIterator().get());
        if (message.GetName() == kDNValueAddChild)
            iterators.push_back(static_cast<const DNValueAddChildMessage&>(message).GetIterator().get());
        if (message.GetName() == kDNValueRemoveChild) {
            const auto& remove = static_cast<const DNValueRemoveChildMessage&>(message);
            iterators.push_back(remove.GetIterator().get());
            // The entry is still there while listeners run.
            countDuringRemove = remove.GetValue()->Count();
        }
        return kCXOK;
    }
    std::vector<std::string> names;
    std::vector<DNIterator*> iterators;
    uint32_t countDuringRemove = 0;
};

} // namespace

TEST(DNValueTest, NullObjectsAnswerHarmlesslyAndLogOnlyChanges)
{
    DNValueRef null = DNValue::GetNull();
    DNIteratorRef end = DNIterator::GetNull();
    EXPECT_EQ(null.get(), DNValue::GetNull().get());
    EXPECT_EQ(end.get(), DNIterator::GetNull().get());

    CXDebugCapture capture;
    EXPECT_EQ(null->Find(Key("a")).get(), end.get());
    EXPECT_EQ(null->First().get(), end.get());
    EXPECT_EQ(null->Count(), 0u);
    EXPECT_EQ(null->IteratorAt(0).get(), end.get());
    EXPECT_EQ(null->GetType(), 0);
    EXPECT_EQ(null->GetMetaData().get(), null.get());
    EXPECT_EQ(null->MakeFolder().get(), null.get());
    EXPECT_EQ(null->MakeLeaf(Key("x")).get(), null.get());
    EXPECT_EQ(null->SetData(Key("x")), kCXNotSupported);
    EXPECT_TRUE(null->Describe() == "DNValue{}");
    EXPECT_EQ(end->GetKey().get(), null.get());
    EXPECT_EQ(end->GetValue().get(), null.get());
    EXPECT_EQ(end->GetFolder().get(), null.get());
    EXPECT_TRUE(end->AtEnd());
    EXPECT_EQ(end->Clone().get(), end.get());
    EXPECT_TRUE(end->Describe() == "DNIterator{}");
    EXPECT_EQ(null->GetTree().get(), DNTree::Get().get());
    EXPECT_EQ(DNTree::Get()->GetRoot().get(), null.get());
    EXPECT_TRUE(capture.Lines().empty());

    // The null value makes keys all the same.
    EXPECT_EQ(DescribeLeaf(null->MakeKey(Key("k"))), "STR(k)");

    EXPECT_EQ(null->AddLast().get(), end.get());
    EXPECT_EQ(null->Remove(end.get()).get(), end.get());
    std::unique_ptr<CXStream> stream;
    EXPECT_EQ(null->OpenStream(stream), kCXNotSupported);
    EXPECT_EQ(stream, nullptr);
    end->SetKey(null);
    end->SetValue(null);
    end->SetRawValue(Key("quiet: a detached iterator does nothing"));
    EXPECT_EQ(capture.Count("DNValue::AddLast> Called on NULL Value"), 1u);
    EXPECT_EQ(capture.Count("DNValue::Remove> Called on NULL Value"), 1u);
    EXPECT_EQ(capture.Count("DNValue::OpenStream> this DNValue does not support streaming operations"), 1u);
    EXPECT_EQ(capture.Count("DNIterator::SetKey> Called on NULL Iterator"), 1u);
    EXPECT_EQ(capture.Count("DNIterator::SetValue> Called on NULL Iterator"), 1u);
    EXPECT_EQ(capture.Lines().size(), 5u);

    // A leaf has no entries either.
    capture.Clear();
    EXPECT_TRUE(NewLeaf(DNRawData::FromInt(1))->AddLast()->AtEnd());
    EXPECT_EQ(capture.Count("DNValue::AddLast> Called on NULL Value"), 1u);
}

TEST(DNValueTest, TypedReadsCoerceAndFallBack)
{
    struct Case {
        DNRawData data;
        int32_t asInt;
        int64_t asInt64;
        bool asBool;
        std::string asString;
    };
    char minusOne[8];
    DNWriteInt64(minusOne, -1);
    const Case cases[] = {
        {DNRawData("12"), 12, 12, false, "12"},
        {DNRawData("TRUE"), 0, 0, true, "TRUE"},
        {DNRawData("1"), 1, 1, true, "1"},
        {DNRawData::FromInt(-1), -1, -1, false, "-1"},
        {DNRawData(minusOne, 8, kDNTypeInt64), -1, -1, false, "-1"},
        {DNRawData("4294967296"), 0, 4294967296LL, false, "4294967296"},
        {DNRawData::FromBool(true), 0, 0, true, "True"},
    };
    CXDebugCapture capture;
    for (const Case& c : cases) {
        DNValueRef leaf = NewLeaf(c.data);
        EXPECT_EQ(leaf->GetInt(), c.asInt) << c.asString;
        EXPECT_EQ(leaf->GetInt64(), c.asInt64) << c.asString;
        EXPECT_EQ(leaf->GetBool(), c.asBool) << c.asString;
        EXPECT_EQ(std::string(leaf->GetString().c_str()), c.asString);
    }

    capture.Clear();
    EXPECT_EQ(NewLeaf(DNRawData("x"))->GetInt(), 0);
    EXPECT_EQ(capture.Count("DNRawData::Coerce> unable to coerce from <<4>> to <<2>> (raw: \"x\")"), 1u);
    capture.Clear();
    EXPECT_FALSE(NewLeaf(DNRawData("yes"))->GetBool());
    EXPECT_EQ(capture.Lines().size(), 1u);

    // A node without a value reads as the defaults, silently.
    capture.Clear();
    DNValueRef null = DNValue::GetNull();
    EXPECT_EQ(null->GetInt(), 0);
    EXPECT_EQ(null->GetInt64(), 0);
    EXPECT_FALSE(null->GetBool());
    EXPECT_TRUE(null->GetString("fallback") == "fallback");
    EXPECT_TRUE(NewFolder()->GetString("fallback") == "fallback");
    EXPECT_TRUE(capture.Lines().empty());

    // Strings are shared, not copied.
    CXString text("shared");
    EXPECT_EQ(NewLeaf(DNRawData::FromString(text))->GetString().GetPayloadAddress(), text.GetPayloadAddress());
}

TEST(DNValueTest, SetChildReplacesInPlaceOrAppends)
{
    DNValueRef folder = NewFolder();
    folder->SetChildData(Key("a"), DNRawData::FromInt(1));
    folder->SetChildData(Key("b"), DNRawData::FromInt(2));
    folder->SetChildData(Key("a"), DNRawData("x"));
    EXPECT_EQ(Describe(folder), "a=STR(x) b=INT(2)");

    DNValueRef child = NewFolder();
    folder->SetChild(Key("c"), child);
    EXPECT_EQ(folder->FindChild(child.get())->GetValue().get(), child.get());
    EXPECT_TRUE(folder->FindChild(NewFolder().get())->AtEnd());
    EXPECT_EQ(folder->FindOrAdd(Key("b"))->GetValue()->GetInt(), 2);
    EXPECT_EQ(folder->Count(), 3u);
}

TEST(DNValueTest, GetFolderMakesOneFolderForAnEntryWithoutValue)
{
    DNValueRef folder = NewFolder();
    DNIteratorRef it = folder->AddLast();
    DNValueRef first = it->GetFolder();
    EXPECT_EQ(first->GetType(), static_cast<int>(kDNTypeFolder));
    EXPECT_NE(first.get(), folder.get());
    EXPECT_EQ(it->GetFolder().get(), first.get());
    EXPECT_EQ(it->GetValue().get(), first.get());

    // A leaf stays a leaf.
    it->SetRawValue(DNRawData::FromInt(3));
    EXPECT_EQ(it->GetFolder()->GetInt(), 3);
}

TEST(DNValueTest, ValueChangesReachTheListenersOfEveryIteratorOnTheEntry)
{
    DNValueRef folder = NewFolder();
    DNIteratorRef a = folder->AddLast();
    DNIteratorRef other = folder->AddLast();
    DNIteratorRef b = folder->First();
    Recorder listenerA, listenerB, listenerOther;
    CXMessageListenerLink linkA, linkB, linkOther;
    a->AddListener(linkA, &listenerA);
    b->AddListener(linkB, &listenerB);
    other->AddListener(linkOther, &listenerOther);

    CXDebugCapture capture;
    a->SetRawValue(DNRawData::FromInt(1));
    b->SetKeyData(Key("k"));
    EXPECT_EQ(listenerA.names, (std::vector<std::string>{"DNIterator::valueChanged", "DNIterator::keyChanged"}));
    EXPECT_EQ(listenerB.names, listenerA.names);
    EXPECT_EQ(listenerA.iterators, (std::vector<DNIterator*>{a.get(), a.get()}));
    EXPECT_EQ(listenerB.iterators, (std::vector<DNIterator*>{b.get(), b.get()}));
    EXPECT_TRUE(listenerOther.names.empty());
    EXPECT_TRUE(capture.Lines().empty());

    CXMessageTarget::DetachListener(linkA);
    CXMessageTarget::DetachListener(linkB);
    CXMessageTarget::DetachListener(linkOther);
}

TEST(DNValueTest, AListenerMayDropIteratorsWhileBeingTold)
{
    // More iterators than the inline slots, so the walk crosses into the ordered set.
    DNValueRef folder = NewFolder();
    folder->AddLast();
    std::vector<DNIteratorRef> iterators;
    for (int i = 0; i < 6; ++i)
        iterators.push_back(folder->First());
    EXPECT_EQ(folder->CountAttachedIterators(), 6u);

    class Dropper : public CXMessageTarget {
    public:
        explicit Dropper(std::vector<DNIteratorRef>& list) : fList(list) {}
        CXResultCode HandleMessage(const CXMessage&) override
        {
            ++calls;
            for (size_t i = 1; i < fList.size(); ++i)
                fList[i].Clear();
            return kCXOK;
        }
        int calls = 0;

    private:
        std::vector<DNIteratorRef>& fList;
    } dropper(iterators);
    std::vector<CXMessageListenerLink> links(iterators.size());
    for (size_t i = 0; i < iterators.size(); ++i)
        iterators[i]->AddListener(links[i], &dropper);

    iterators[0]->SetRawValue(DNRawData::FromInt(1));
    EXPECT_GE(dropper.calls, 1);
    EXPECT_EQ(folder->CountAttachedIterators(), 1u);
    for (auto& link : links)
        CXMessageTarget::DetachListener(link);
}

TEST(DNValueTest, FolderChangesReachTheFolderListeners)
{
    DNValueRef folder = NewFolder();
    Recorder recorder;
    CXMessageListenerLink link;
    folder->AddListener(link, &recorder);

    CXDebugCapture capture;
    DNIteratorRef added = folder->AddLast();
    folder->AddLast();
    DNIteratorRef next = folder->Remove(added.get());
    EXPECT_EQ(recorder.names, (std::vector<std::string>{"DNValue::addChild", "DNValue::addChild", "DNValue::removeChild"}));
    EXPECT_EQ(recorder.iterators[0], added.get());
    EXPECT_EQ(recorder.iterators[2], added.get());
    EXPECT_EQ(recorder.countDuringRemove, 2u);
    EXPECT_EQ(folder->Count(), 1u);
    EXPECT_FALSE(next->AtEnd());
    // The messages hold their references next to the caller's: no last-reference report.
    EXPECT_EQ(capture.ErrorCount(), 0u);
    CXMessageTarget::DetachListener(link);

    // A message that would hold the last reference but for its caller is reported.
    DNValueChangeMessage lonely(CXString(kDNValueValueChanged), nullptr, NewFolder());
    EXPECT_EQ(capture.Count("DNValueChangeMessage> releasing last reference"), 1u);
}

TEST(DNValueTest, IteratorsAttachAndDetach)
{
    CXDebugCapture capture;
    DNValueRef folder = NewFolder();
    folder->AddLast();
    folder->AddLast();
    {
        DNIteratorRef it = folder->First();
        DNIteratorRef copy = it->Clone();
        EXPECT_EQ(folder->CountAttachedIterators(), 2u);
        it->Next();
        EXPECT_FALSE(it->AtEnd());
        it->Next();
        EXPECT_TRUE(it->AtEnd());
        EXPECT_EQ(folder->CountAttachedIterators(), 1u);
        it->Previous(); // stays at its end for good
        EXPECT_TRUE(it->AtEnd());
    }
    EXPECT_EQ(folder->CountAttachedIterators(), 0u);

    // A detached iterator holds no reference to its former folder.
    DNValueRef other = NewFolder();
    DNIteratorRef plain = DNAdopt(new DNIterator);
    plain->Attach(other.get());
    EXPECT_EQ(other->GetReferenceCount(), 2u);
    EXPECT_FALSE(plain->AtEnd());
    plain->Attach(nullptr);
    EXPECT_EQ(other->GetReferenceCount(), 1u);
    EXPECT_EQ(other->CountAttachedIterators(), 0u);
    EXPECT_TRUE(capture.Lines().empty());
}
