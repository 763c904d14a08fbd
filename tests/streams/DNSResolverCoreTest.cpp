#include "streams/DNSResolverCore.h"
#include "streams/IPv4Address.h"

#include "foundation/CXDebug.h"
#include "support/LoopbackServer.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

CXString Resolve(DNSResolverCore& core, const char* name)
{
    CXString address = "unchanged";
    core.Resolver(name, address);
    return address;
}

TEST(DNSResolverCoreTest, NamesThatNeedNoLookup)
{
    DNSResolverCore core;
    CXDebugCapture capture;
    EXPECT_EQ(Resolve(core, "LocalHost"), "127.0.0.1");
    EXPECT_EQ(Resolve(core, "localhost"), "127.0.0.1");
    EXPECT_EQ(Resolve(core, "192.0.2.17"), "192.0.2.17");
    // A leading zero is not the canonical form: it goes to the host's lookup, which reads it too.
    EXPECT_EQ(Resolve(core, "127.0.0.01"), "127.0.0.1");
    EXPECT_EQ(capture.Lines().size(), 0u);
}

TEST(DNSResolverCoreTest, FailedLookupGivesEmptyAnswerAndLogLine)
{
    DNSResolverCore core;
    CXDebugCapture capture;
    // ".invalid" never resolves; a malformed name fails without asking any server.
    EXPECT_EQ(Resolve(core, "bad..name.invalid"), "");
    EXPECT_EQ(capture.Count("DNSResolverCore::Resolver> domain='bad..name.invalid' err="), 1u);
}

TEST(DNSResolverCoreTest, AddressRoutines)
{
    IPv4Address a = IPv4AddressFromText("10.1.2.3", 8080);
    EXPECT_EQ(a.family, kIPv4Family);
    EXPECT_EQ(a.port[0], 0x1F);
    EXPECT_EQ(a.port[1], 0x90);
    EXPECT_EQ(IPv4AddressPort(a), 8080);
    EXPECT_EQ(IPv4AddressToText(a), "10.1.2.3");
    EXPECT_EQ(IPv4AddressToText(IPv4AddressFromText("10.1", 0)), "10.1.0.0");
    EXPECT_FALSE(IPv4AddressIsSet(IPv4AddressFromText("", 80)));
    const uint8_t bytes[4] = {127, 0, 0, 1};
    uint32_t network;
    std::memcpy(&network, bytes, 4);
    IPv4Address made = IPv4AddressMake(network, 443);
    EXPECT_EQ(IPv4AddressToText(made), "127.0.0.1");
    IPv4Address copy;
    IPv4AddressCopy(copy, made);
    EXPECT_EQ(std::memcmp(&copy, &made, 16), 0);
    IPv4AddressClear(copy);
    EXPECT_FALSE(IPv4AddressIsSet(copy));
}

// Holds every lookup until the test opens the gate; fails names starting with "fail".
class GatedResolver : public DNSResolverCore {
public:
    void Resolver(const CXString& name, CXString& address) override
    {
        ++inside;
        gate.Wait([] { return false; });
        if (std::string(name.c_str()).rfind("fail", 0) == 0)
            address.Clear();
        else
            address = CXString::FromFormat("10.0.0.%d", int(name.length()));
    }
    LoopbackSignal gate;
    std::atomic<int> inside{0};
};

struct Results {
    std::mutex mutex;
    std::set<std::string> answers;
    std::atomic<int> done{0};
};

class RecordingRequest : public DNSResolverRequest {
public:
    RecordingRequest(const CXString& name, Results& results) : DNSResolverRequest(name), fResults(results) {}
    void Complete(const CXString& address) override
    {
        std::lock_guard<std::mutex> lock(fResults.mutex);
        fResults.answers.insert(std::string(fHostName.c_str()) + "=" + address.c_str());
        ++fResults.done;
    }

private:
    Results& fResults;
};

TEST(DNSResolverCoreTest, NineRequestsStartEightWorkersAndAllAreServed)
{
    Results results;
    {
        GatedResolver core;
        const char* names[] = {"a", "bb", "ccc", "dddd", "fail5", "ffffff", "ggggggg", "hhhhhhhh", "iiiiiiiii"};
        for (const char* name : names)
            core.QueueRequest(new RecordingRequest(name, results));
        ASSERT_TRUE(WaitFor([&] { return core.inside.load() == 8; }));
        EXPECT_EQ(core.GetWorkerCount(), 8);
        EXPECT_EQ(core.inside.load(), 8); // the ninth waits in the queue for a free worker
        core.gate.Open();
        ASSERT_TRUE(WaitFor([&] { return results.done.load() == 9; }));
        EXPECT_TRUE(WaitFor([&] { return core.GetWorkerCount() == 0; }));
        // Ended workers are freed by the next request (and the rest by the destructor).
        core.QueueRequest(new RecordingRequest("jj", results));
        ASSERT_TRUE(WaitFor([&] { return results.done.load() == 10; }));
    }
    EXPECT_EQ(results.answers.size(), 10u);
    EXPECT_EQ(results.answers.count("fail5="), 1u);
    EXPECT_EQ(results.answers.count("iiiiiiiii=10.0.0.9"), 1u);
}

} // namespace
