#include "foundation/CXDebug.h"
#include "foundation/CXMessage.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// Records "<name>:<message>" in a shared log and answers a fixed result.
class Recorder : public CXMessageTarget {
public:
    Recorder(const char* name, std::vector<std::string>* log, CXResultCode answer = kCXOK)
        : fName(name)
        , fLog(log)
        , fAnswer(answer)
    {
    }

    CXString GetName() const override { return fName; }
    CXMessageTarget* GetDelegate() const override { return fDelegate; }
    CXResultCode HandleMessage(const CXMessage& message) override
    {
        if (fLog != nullptr)
            fLog->push_back(std::string(fName.c_str()) + ":" + message.GetName().c_str());
        lastSource = message.GetSource();
        if (onMessage)
            onMessage(message);
        return fAnswer;
    }
    void OnListenersEmpty() override { ++emptyCalls; }

    std::function<void(const CXMessage&)> onMessage;
    CXMessageTarget* fDelegate = nullptr;
    CXMessageTarget* lastSource = nullptr;
    int emptyCalls = 0;

private:
    CXString fName;
    std::vector<std::string>* fLog;
    CXResultCode fAnswer;
};

std::string Text(const CXString& text)
{
    return text.c_str();
}

TEST(CXMessageTest, DescriptionsArgumentsAndDelegation)
{
    Recorder page("page", nullptr, kCXNotSupported);
    char pageText[64];
    std::snprintf(pageText, sizeof pageText, "CXMessageTarget{%p='page'}", static_cast<const void*>(&page));

    CXMessage plain("next-page", nullptr);
    CXMessage fromPage("next-page", &page, std::vector<CXString>{"a", "b"});
    EXPECT_EQ(Text(DescribeTarget(nullptr)), "CXMessageTarget<NULL>");
    EXPECT_EQ(Text(DescribeMessage(nullptr)), "CXMessage<NULL>");
    EXPECT_EQ(Text(DescribeTarget(&page)), pageText);
    EXPECT_EQ(Text(DescribeMessage(&plain)), "CXMessage{'next-page'}");
    EXPECT_EQ(Text(DescribeMessage(&fromPage)), std::string("CXMessage{'next-page' from ") + pageText + "}");

    EXPECT_TRUE(plain.GetFirstArgument().IsEmpty());
    EXPECT_TRUE(plain.GetSourceName().IsEmpty());
    EXPECT_EQ(Text(fromPage.GetFirstArgument()), "a");
    EXPECT_EQ(Text(fromPage.GetSourceName()), "page");
    EXPECT_EQ(Text(CXMessage("x", nullptr, CXString("only")).GetFirstArgument()), "only");

    // The base handler passes the message to the delegate, or answers -2 without one.
    class Plain : public CXMessageTarget {
    public:
        CXMessageTarget* delegate = nullptr;
        CXMessageTarget* GetDelegate() const override { return delegate; }
    } control;
    std::vector<std::string> log;
    Recorder window("window", &log);
    EXPECT_EQ(control.HandleMessage(plain), kCXNotSupported);
    control.delegate = &window;
    EXPECT_EQ(control.HandleMessage(plain), kCXOK);
    EXPECT_EQ(log, std::vector<std::string>{"window:next-page"});
}

TEST(CXMessageTest, DetachingTheLastListenerEmptiesSourceAndClosesPipe)
{
    std::vector<std::string> log;
    Recorder source("source", &log);
    Recorder first("first", &log);
    Recorder second("second", &log);
    CXMessageListenerLink firstLink;
    CXMessageListenerLink secondLink;
    EXPECT_FALSE(source.HasListeners());
    source.AddListener(firstLink, &first);
    source.AddListener(secondLink, &second);
    EXPECT_TRUE(source.HasListeners());

    source.SendToListeners(CXMessage("ping", &source));
    EXPECT_EQ(log, (std::vector<std::string>{"first:ping", "second:ping"}));
    log.clear();

    CXMessageTarget::DetachListener(firstLink);
    EXPECT_EQ(source.emptyCalls, 0);
    EXPECT_EQ(log, std::vector<std::string>{"first:message-pipe-closed"});
    EXPECT_EQ(first.lastSource, &source);
    EXPECT_EQ(firstLink.GetSource(), nullptr);

    CXMessageTarget::DetachListener(secondLink);
    EXPECT_EQ(source.emptyCalls, 1);
    EXPECT_EQ(second.lastSource, &source);
    EXPECT_FALSE(source.HasListeners());
    // Detaching again changes nothing.
    CXMessageTarget::DetachListener(secondLink);
    EXPECT_EQ(source.emptyCalls, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"first:message-pipe-closed", "second:message-pipe-closed"}));

    // A dying source detaches its links; the listener hears that the pipe closed.
    log.clear();
    auto dying = std::make_unique<Recorder>("dying", &log);
    CXMessageTarget* dyingAddress = dying.get();
    dying->AddListener(firstLink, &first);
    CXDebugCapture capture;
    dying.reset();
    EXPECT_EQ(log, std::vector<std::string>{"first:message-pipe-closed"});
    EXPECT_EQ(first.lastSource, dyingAddress);
    EXPECT_EQ(firstLink.GetSource(), nullptr);
    EXPECT_EQ(capture.Lines().size(), 0u);
}

// Source "s" has listeners 1, 2 and 3 (links on the heap, so a walk that touched a freed link
// would be caught by the address checker); "t" has listener 4.
struct BroadcastFixture {
    std::vector<std::string> log;
    Recorder s{"s", &log};
    Recorder t{"t", &log};
    Recorder listeners[4] = {{"1", &log}, {"2", &log}, {"3", &log}, {"4", &log}};
    std::unique_ptr<CXMessageListenerLink> links[4];

    BroadcastFixture()
    {
        for (int i = 0; i < 4; ++i) {
            links[i] = std::make_unique<CXMessageListenerLink>();
            (i < 3 ? s : t).AddListener(*links[i], &listeners[i]);
        }
    }
    void DetachAndFree(int index)
    {
        CXMessageTarget::DetachListener(*links[index]);
        links[index].reset();
    }
};

TEST(CXMessageTest, BroadcastSurvivesLinksDetachedDuringTheWalk)
{
    struct Case {
        const char* name;
        std::function<void(BroadcastFixture&)> arrange;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"listener detaches itself",
         [](BroadcastFixture& f) {
             f.listeners[0].onMessage = [&f](const CXMessage& m) {
                 if (m.GetName() == "ping")
                     f.DetachAndFree(0);
             };
         },
         {"1:ping", "1:message-pipe-closed", "2:ping", "3:ping"}},
        {"listener detaches the next link",
         [](BroadcastFixture& f) {
             f.listeners[0].onMessage = [&f](const CXMessage& m) {
                 if (m.GetName() == "ping")
                     f.DetachAndFree(1);
             };
         },
         {"1:ping", "2:message-pipe-closed", "3:ping"}},
        {"nested broadcast detaches the outer walk's next link",
         [](BroadcastFixture& f) {
             f.listeners[0].onMessage = [&f](const CXMessage& m) {
                 if (m.GetName() == "ping")
                     f.t.SendToListeners(CXMessage("pong", &f.t));
             };
             f.listeners[3].onMessage = [&f](const CXMessage&) { f.DetachAndFree(1); };
         },
         {"1:ping", "4:pong", "2:message-pipe-closed", "3:ping"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BroadcastFixture f;
        c.arrange(f);
        f.s.SendToListeners(CXMessage("ping", &f.s));
        EXPECT_EQ(f.log, c.expected);
        EXPECT_TRUE(f.s.HasListeners());
        for (auto& listener : f.listeners)
            listener.onMessage = nullptr;
    }
}

} // namespace
