#pragma once

#include "foundation/CXLinkedList.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXString.h"

#include <cstdint>
#include <vector>

class CXMessageTarget;

// The name of the message a listener receives when its link to a source is detached; the
// message's source is the former source.
inline constexpr const char* kCXMessagePipeClosed = "message-pipe-closed";

// A named message from a sender, with optional string arguments and one integer. Names are compared as exact
// byte strings: commands such as "next-page", notifications such as "DNValue::addChild".
class CXMessage {
public:
    // The source is the sender (may be null) and is not owned.
    CXMessage(const CXString& name, CXMessageTarget* source);
    CXMessage(const CXString& name, CXMessageTarget* source, const CXString& argument);
    CXMessage(const CXString& name, CXMessageTarget* source, std::vector<CXString> arguments);

    const CXString& GetName() const { return fName; }
    CXMessageTarget* GetSource() const { return fSource; }
    const std::vector<CXString>& GetArguments() const { return fArguments; }
    // The first argument, or a process-wide empty string when there is none.
    const CXString& GetFirstArgument() const;
    // The source's GetName(); the empty string without a source.
    CXString GetSourceName() const;
    // "CXMessage{'<name>' from <source's Describe()>}", or "CXMessage{'<name>'}" without a source.
    CXString Describe() const;
    // A number that travels with the message (a menu item's index, a set of change flags); 0
    // unless set.
    int32_t GetInteger() const { return fInteger; }
    void SetInteger(int32_t value) { fInteger = value; }

private:
    CXString fName;
    CXMessageTarget* fSource;
    std::vector<CXString> fArguments;
    int32_t fInteger = 0;
};

// One listener's subscription to the broadcasts of one source. Whoever makes the link keeps it
// alive while it is attached (CXMessageTarget::AddListener) and detaches it before the listener
// dies. Destroying a link that is still attached detaches it without telling the listener.
class CXMessageListenerLink : public CXLinkedListNode {
public:
    CXMessageListenerLink() = default;
    ~CXMessageListenerLink();
    CXMessageListenerLink(const CXMessageListenerLink&) = delete;
    CXMessageListenerLink& operator=(const CXMessageListenerLink&) = delete;

    // Both read under the process-wide listener lock; the source is null once detached.
    CXMessageTarget* GetListener() const;
    CXMessageTarget* GetSource() const;

private:
    friend class CXMessageTarget;
    CXMessageTarget* fListener = nullptr;
    CXMessageTarget* fSource = nullptr;
};

// Receives messages through HandleMessage and may pass them on to a delegate (the next
// responder). A target also broadcasts to its listeners. Every listener list of the process is
// guarded by one recursive lock, held while listeners run, so a listener may broadcast or detach
// links in turn on the same thread. Safe pointers to a target are cleared when it dies.
class CXMessageTarget : public CXSafePointerTarget {
public:
    CXMessageTarget() = default;
    // A broadcast still running on the target is reported ("~CXMessageTarget> target busy!").
    // Every listener link is detached, each listener receiving "message-pipe-closed".
    ~CXMessageTarget() override;
    CXMessageTarget(const CXMessageTarget&) = delete;
    CXMessageTarget& operator=(const CXMessageTarget&) = delete;

    // The next responder; none in the base.
    virtual CXMessageTarget* GetDelegate() const { return nullptr; }
    // The empty string in the base.
    virtual CXString GetName() const { return CXString(); }
    // 0 when the message was handled. The base passes it to the delegate, or answers -2 (not
    // handled) when there is none.
    virtual CXResultCode HandleMessage(const CXMessage& message);
    // "CXMessageTarget{<address>='<GetName()>'}" in the base.
    virtual CXString Describe() const;
    // Called when the last listener link of this target has been detached; empty in the base.
    virtual void OnListenersEmpty() {}

    // Attaches the link at the end of this target's listeners; `listener` then receives every
    // broadcast of this target. A link that is attached already is reported and left alone.
    void AddListener(CXMessageListenerLink& link, CXMessageTarget* listener);
    // Passes the message to the HandleMessage of every listener, in list order; the results are
    // ignored. A link detached during the walk is skipped safely, also in nested broadcasts.
    void SendToListeners(const CXMessage& message);
    bool HasListeners() const;

    // Detaches the link from its source (nothing when it is detached already). The source's
    // OnListenersEmpty runs when this was its last link, then the listener receives
    // "message-pipe-closed" from the former source.
    static void DetachListener(CXMessageListenerLink& link);

private:
    CXLinkedListHead fListeners;
    int32_t fBusy = 0;
};

// Texts for reports: "CXMessageTarget<NULL>" or "CXMessage<NULL>" for null, else Describe().
CXString DescribeTarget(const CXMessageTarget* target);
CXString DescribeMessage(const CXMessage* message);
