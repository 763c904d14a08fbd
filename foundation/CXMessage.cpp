#include "foundation/CXMessage.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"

namespace {

// The walk of one broadcast. Broadcasts nest on one thread (a listener broadcasts in turn), so
// the walks in progress form a chain from the innermost outwards; a detach moves every cursor
// that points at the link being detached.
struct BroadcastWalk {
    CXLinkedListNode* cursor;
    BroadcastWalk* outer;
};

struct MessagingState {
    CXRecursiveMutex lock;
    BroadcastWalk* walks = nullptr;
    CXString pipeClosed{kCXMessagePipeClosed};
};

// Made before main and never destroyed, so targets that die during exit still find it.
MessagingState& Messaging()
{
    static MessagingState* state = new MessagingState;
    return *state;
}

[[maybe_unused]] MessagingState& gEarlyMessaging = Messaging();

} // namespace

CXMessage::CXMessage(const CXString& name, CXMessageTarget* source)
    : fName(name)
    , fSource(source)
{
}

CXMessage::CXMessage(const CXString& name, CXMessageTarget* source, const CXString& argument)
    : fName(name)
    , fSource(source)
    , fArguments{argument}
{
}

CXMessage::CXMessage(const CXString& name, CXMessageTarget* source, std::vector<CXString> arguments)
    : fName(name)
    , fSource(source)
    , fArguments(std::move(arguments))
{
}

const CXString& CXMessage::GetFirstArgument() const
{
    static const CXString* const empty = new CXString;
    return fArguments.empty() ? *empty : fArguments.front();
}

CXString CXMessage::GetSourceName() const
{
    return fSource != nullptr ? fSource->GetName() : CXString();
}

CXString CXMessage::Describe() const
{
    if (fSource != nullptr)
        return CXString::FromFormat("CXMessage{'%s' from %s}", fName.c_str(), fSource->Describe().c_str());
    return CXString::FromFormat("CXMessage{'%s'}", fName.c_str());
}

CXMessageListenerLink::~CXMessageListenerLink()
{
    CXRecursiveMutexLocker lock(&Messaging().lock);
    fListener = nullptr;
    CXMessageTarget::DetachListener(*this);
}

CXMessageTarget* CXMessageListenerLink::GetListener() const
{
    CXRecursiveMutexLocker lock(&Messaging().lock);
    return fListener;
}

CXMessageTarget* CXMessageListenerLink::GetSource() const
{
    CXRecursiveMutexLocker lock(&Messaging().lock);
    return fSource;
}

CXMessageTarget::~CXMessageTarget()
{
    MessagingState& state = Messaging();
    CXRecursiveMutexLocker lock(&state.lock);
    if (fBusy != 0)
        CXDebugError("~CXMessageTarget> target busy!");
    while (CXLinkedListNode* first = fListeners.first())
        DetachListener(*static_cast<CXMessageListenerLink*>(first));
}

CXResultCode CXMessageTarget::HandleMessage(const CXMessage& message)
{
    CXMessageTarget* delegate = GetDelegate();
    return delegate != nullptr ? delegate->HandleMessage(message) : kCXNotSupported;
}

CXString CXMessageTarget::Describe() const
{
    return CXString::FromFormat("CXMessageTarget{%p='%s'}", static_cast<const void*>(this), GetName().c_str());
}

void CXMessageTarget::AddListener(CXMessageListenerLink& link, CXMessageTarget* listener)
{
    CXRecursiveMutexLocker lock(&Messaging().lock);
    if (link.fSource != nullptr) {
        CXDebugError("CXMessageTarget::AddListener> link is already attached");
        return;
    }
    link.fListener = listener;
    link.fSource = this;
    fListeners.InsertLast(link);
}

void CXMessageTarget::SendToListeners(const CXMessage& message)
{
    MessagingState& state = Messaging();
    CXRecursiveMutexLocker lock(&state.lock);
    ++fBusy;
    BroadcastWalk walk{fListeners.first(), state.walks};
    state.walks = &walk;
    while (walk.cursor != nullptr) {
        CXMessageListenerLink* link = static_cast<CXMessageListenerLink*>(walk.cursor);
        walk.cursor = link->next();
        if (link->fListener != nullptr)
            (void)link->fListener->HandleMessage(message);
    }
    state.walks = walk.outer;
    --fBusy;
}

bool CXMessageTarget::HasListeners() const
{
    CXRecursiveMutexLocker lock(&Messaging().lock);
    return !fListeners.IsEmpty();
}

void CXMessageTarget::DetachListener(CXMessageListenerLink& link)
{
    MessagingState& state = Messaging();
    CXRecursiveMutexLocker lock(&state.lock);
    CXMessageTarget* source = link.fSource;
    if (source == nullptr)
        return;
    for (BroadcastWalk* walk = state.walks; walk != nullptr; walk = walk->outer) {
        if (walk->cursor == &link)
            walk->cursor = link.next();
    }
    source->fListeners.Remove(link);
    link.fSource = nullptr;
    if (source->fListeners.IsEmpty())
        source->OnListenersEmpty();
    if (CXMessageTarget* listener = link.fListener) {
        CXMessage closed(state.pipeClosed, source);
        (void)listener->HandleMessage(closed);
    }
}

CXString DescribeTarget(const CXMessageTarget* target)
{
    return target != nullptr ? target->Describe() : CXString("CXMessageTarget<NULL>");
}

CXString DescribeMessage(const CXMessage* message)
{
    return message != nullptr ? message->Describe() : CXString("CXMessage<NULL>");
}
