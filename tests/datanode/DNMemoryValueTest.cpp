#include "datanode/DNMemoryValue.h"

#include "DataNodeTesting.h"
#include "datanode/CXApplicationSettings.h"
#include "datanode/CXMessageDNValueParam.h"
#include "datanode/DNStdMetaData.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "support/ScratchFolder.h"

#include "platform/File.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace DataNodeTesting;

namespace {

DNValueRef FolderWithKeys(std::initializer_list<const char*> keys)
{
    DNValueRef folder = NewFolder();
    int n = 0;
    for (const char* key : keys) {
        DNIteratorRef it = folder->AddLast();
        it->SetKeyData(Key(key));
        it->SetRawValue(DNRawData::FromInt(n++));
    }
    return folder;
}

int64_t IndexOf(const DNIteratorRef& it)
{
    auto* memory = dynamic_cast<DNMemoryIterator*>(it.get());
    return memory != nullptr && !it->AtEnd() ? memory->GetIndex() : -1;
}

} // namespace

TEST(DNMemoryValueTest, FindMatchesBytesOrTheCoercedKey)
{
    DNValueRef folder = FolderWithKeys({"a", "b", "a"});
    EXPECT_EQ(folder->Count(), 3u);
    EXPECT_EQ(IndexOf(folder->Find(Key("a"))), 0);
    EXPECT_EQ(IndexOf(folder->Find(Key("b"))), 1);
    EXPECT_EQ(IndexOf(folder->Find(Key("A"))), -1);
    EXPECT_EQ(folder->Find(Key("c")).get(), DNIterator::GetNull().get());

    // A typed key: the search key is coerced to its type first, quietly.
    DNIteratorRef typed = folder->AddLast();
    typed->SetKey(NewLeaf(DNRawData::FromInt(5)));
    CXDebugCapture capture;
    EXPECT_EQ(IndexOf(folder->Find(Key("5"))), 3);
    EXPECT_EQ(IndexOf(folder->Find(Key("05"))), 3);
    EXPECT_EQ(IndexOf(folder->Find(Key("x"))), -1);
    EXPECT_EQ(IndexOf(folder->Find(DNRawData::FromInt(5))), 3);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(DNMemoryValueTest, TheArrayGrowsByFourThenByTwoHundredFiftySix)
{
    DNValueRef value = NewFolder();
    auto* folder = static_cast<DNMemoryValue*>(value.get());
    EXPECT_EQ(folder->GetCapacity(), 0u);
    std::vector<uint64_t> capacities;
    for (int i = 0; i < 37; ++i) {
        folder->AddLast();
        if (capacities.empty() || capacities.back() != folder->GetCapacity())
            capacities.push_back(folder->GetCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint64_t>{4, 8, 12, 16, 20, 24, 28, 32, 36, 256}));
    EXPECT_EQ(folder->GetGrowthStep(), 256u);
    EXPECT_EQ(folder->Count(), 37u);
}

TEST(DNMemoryValueTest, RemoveShiftsLaterEntriesDown)
{
    DNValueRef folder = FolderWithKeys({"a", "b", "c"});
    DNIteratorRef last = folder->IteratorAt(2);
    DNIteratorRef next = folder->Remove(folder->IteratorAt(1).get());
    EXPECT_EQ(IndexOf(next), 1);
    EXPECT_EQ(Bytes(next->GetKey()->GetData()), "c");
    EXPECT_EQ(Describe(folder), "a=INT(0) c=INT(2)");

    // The iterator that stood at index 2 is now past the entries: null value, then detaches.
    EXPECT_EQ(last->GetValue().get(), DNValue::GetNull().get());
    EXPECT_FALSE(last->AtEnd());
    last->Next();
    EXPECT_TRUE(last->AtEnd());

    EXPECT_EQ(folder->Remove(folder->IteratorAt(1).get()).get(), DNIterator::GetNull().get());
    EXPECT_EQ(Describe(folder), "a=INT(0)");

    // A foreign, stale or ended iterator changes nothing and logs nothing.
    CXDebugCapture capture;
    DNValueRef other = FolderWithKeys({"x"});
    DNIteratorRef stale = folder->First();
    folder->AddLast();
    DNIteratorRef beyond = folder->IteratorAt(1);
    folder->Remove(folder->IteratorAt(1).get());
    EXPECT_TRUE(folder->Remove(other->First().get())->AtEnd());
    EXPECT_TRUE(folder->Remove(beyond.get())->AtEnd());
    EXPECT_TRUE(folder->Remove(DNIterator::GetNull().get())->AtEnd());
    EXPECT_TRUE(folder->Remove(nullptr)->AtEnd());
    EXPECT_EQ(folder->Count(), 1u);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(IndexOf(stale), 0);
}

TEST(DNMemoryValueTest, IteratorsComeFromThePoolAndDescribeThemselves)
{
    DNValueRef folder = FolderWithKeys({"a", "b"});
    DNIteratorRef first = folder->First();
    DNIterator* address = first.get();
    first.Clear();
    // The slot just returned is the next one handed out.
    DNIteratorRef again = folder->IteratorAt(1);
    EXPECT_EQ(again.get(), address);
    std::string text = again->Describe().c_str();
    EXPECT_NE(text.find("DNMemoryIterator{"), std::string::npos);
    EXPECT_NE(text.find(": 1/"), std::string::npos);
    EXPECT_EQ(std::string(folder->Describe().c_str()).rfind("DNMemoryValue{", 0), 0u);
    EXPECT_TRUE(folder->IteratorAt(2)->AtEnd());
    EXPECT_TRUE(NewFolder()->First()->AtEnd());
}

TEST(DNMemoryValueTest, MetadataNamesTheKindOfALeaf)
{
    struct Case {
        DNRawData data;
        const char* kind;
    };
    char eight[8] = {};
    const Case cases[] = {
        {DNRawData::FromInt(1), "int"},       {DNRawData("1", 1, kDNTypeFloat), "float"},
        {DNRawData("s"), "string"},           {DNRawData("r", 1, kDNTypeRaw), "raw"},
        {DNRawData("c", 1, kDNTypeCompressed), "compressed"}, {DNRawData("", 0, kDNTypeFloats), "float[]"},
        {DNRawData::FromBool(true), "boolean"}, {DNRawData("", 0, kDNTypeInts), "int[]"},
        {DNRawData(eight, 8, kDNTypeInt64), ""}, {DNRawData::FromBox2i({{1, 2, 3, 4}, false}), ""},
    };
    for (const Case& c : cases) {
        DNValueRef meta = NewLeaf(c.data)->GetMetaData();
        EXPECT_EQ(meta->GetType(), static_cast<int>(kDNTypeFolder));
        EXPECT_EQ(meta->Count(), 1u);
        EXPECT_EQ(Describe(meta), std::string("kind=STR(") + c.kind + ")");
    }

    CXDebugCapture capture;
    DNValueRef meta = NewLeaf(DNRawData::FromInt(1))->GetMetaData();
    EXPECT_EQ(Bytes(meta->Find(Key("kind"))->GetValue()->GetData()), "int");
    EXPECT_TRUE(meta->Find(Key("Kind"))->AtEnd());
    EXPECT_TRUE(meta->AddLast()->AtEnd());
    EXPECT_TRUE(capture.Lines().empty());
    // The kind has no setter and keys are fixed.
    DNIteratorRef it = meta->First();
    it->SetValue(NewLeaf(DNRawData("x")));
    it->SetKey(NewLeaf(DNRawData("x")));
    EXPECT_EQ(capture.Count("DNStdIndexedValue::SetIndexedKey> Behaviour not supported by this DNValue"), 1u);
    EXPECT_EQ(Describe(meta), "kind=STR(int)");
    it->Next();
    EXPECT_TRUE(it->AtEnd());
}

TEST(DNMemoryValueTest, AMessageCarriesItsParametersAsAFolder)
{
    DNValueRef message = DNAdopt<DNValue>(new CXMessageDNValueParam(CXString("resize"), nullptr));
    message->SetChildData(Key("width"), DNRawData::FromInt(640));
    auto* param = static_cast<CXMessageDNValueParam*>(message.get());
    EXPECT_TRUE(param->CXMessage::GetName() == "resize");
    EXPECT_EQ(message->Find(Key("width"))->GetValue()->GetInt(), 640);
}

TEST(DNMemoryValueTest, SettingsAreStoredByLabelAndSavedAsText)
{
    CXDebugCapture capture;
    CXApplicationSettings closed;
    closed.SetSettingsByLabel(CXString("window"), NewFolder());
    EXPECT_EQ(capture.Count("CXApplicationSettings::SetSettingsByLabel> can't save settings 'window' while settings are not open"),
              1u);

    ScratchFolder scratch;
    CXString path = CXFileSystem::FromNativePath((scratch / "settings.txt").c_str());
    DNValueRef root = FolderWithKeys({"window", "volume"});
    CXApplicationSettings settings(path, root);
    DNValueRef window = NewFolder();
    window->SetChildData(Key("x"), DNRawData::FromInt(10));
    settings.SetSettingsByLabel(CXString("window"), window);
    EXPECT_EQ(Describe(root), "window{x=INT(10)} volume=INT(1)");

    std::ifstream in(scratch / "settings.txt", std::ios::binary);
    std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved, "window\r{\r  x 10\r}\r\rvolume 1\r");

    // A save that cannot be written out leaves the settings saved before, and no temporary file.
    Platform::ArmFault(Platform::kFaultWrite, 1, ENOSPC);
    settings.SetSettingsByLabel(CXString("volume"), NewLeaf(DNRawData::FromInt(7)));
    Platform::ClearFaults();
    std::ifstream again(scratch / "settings.txt", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), saved);
    EXPECT_FALSE(std::filesystem::exists(scratch / "settings.txt.tmp"));
    EXPECT_EQ(capture.Count("CXApplicationSettings::SetSettingsByLabel> can't write"), 1u);
    settings.SetSettingsByLabel(CXString("volume"), NewLeaf(DNRawData::FromInt(1)));

    // A file that cannot be written is logged.
    capture.Clear();
    CXApplicationSettings broken(CXFileSystem::FromNativePath((scratch / "missing/settings.txt").c_str()), root);
    broken.SetSettingsByLabel(CXString("volume"), NewLeaf(DNRawData::FromInt(2)));
    EXPECT_EQ(capture.Count("CXApplicationSettings::SetSettingsByLabel> can't open"), 1u);
    EXPECT_EQ(Describe(root), "window{x=INT(10)} volume=INT(2)");
}
