#include "toolkit/UIAppearance.h"

#include "foundation/CXFiber.h"
#include "foundation/CXThread.h"
#include "toolkit/RazaFont.h"
#include "toolkit/UIElement.h"

#include <map>
#include <utility>

namespace {

// The family records and their appearances are constant-initialised: they exist before any code
// runs and are never destroyed.
constinit const UIAppearanceWin32_Implementation gWin32Implementation;
constinit const UIAppearanceGeneric_Implementation gGenericImplementation;

} // namespace

constexpr UIAppearanceWin32::UIAppearanceWin32()
    : UIAppearance({0.94f, 0.94f, 0.94f, 1.0f}, &gWin32Implementation)
{
}

constexpr UIAppearanceGeneric::UIAppearanceGeneric()
    : UIAppearance({0.95f, 0.95f, 0.95f, 1.0f}, &gGenericImplementation)
{
}

const UIAppearanceImplementation* UIAppearanceWin32_Implementation::Get()
{
    return &gWin32Implementation;
}

const UIAppearanceImplementation* UIAppearanceGeneric_Implementation::Get()
{
    return &gGenericImplementation;
}

namespace {

constinit const UIAppearanceWin32 gWin32Appearance;
constinit const UIAppearanceGeneric gGenericAppearance;

using AdapterKey = std::pair<const UIAppearanceImplementation*, const UIAppearanceImplementation*>;
using AdapterMap = std::map<AdapterKey, UIAppearanceImplementationAdapter*>;

// Made by the first registration, freed when the last adapter leaves. Main thread only.
AdapterMap* gAdapters = nullptr;

// Set while an adapter builds a wrapper on this thread, so the wrapped element is not wrapped
// again as it is put into its wrapper.
thread_local bool tBuildingWrapper = false;

} // namespace

const UIAppearance* UIAppearanceWin32_Implementation::GetAppearance() const
{
    return &gWin32Appearance;
}

const UIAppearance* UIAppearanceGeneric_Implementation::GetAppearance() const
{
    return &gGenericAppearance;
}

const UIAppearance* UIAppearanceWin32::Get()
{
    return &gWin32Appearance;
}

const UIAppearance* UIAppearanceGeneric::Get()
{
    return &gGenericAppearance;
}

const UIAppearance* UIAppearance::GetFallback()
{
    static const UIAppearance fallback({1.0f, 1.0f, 1.0f, 1.0f}, nullptr);
    return &fallback;
}

RazaFont UIAppearance::AdjustFont(const RazaFont& font) const
{
    return font;
}

bool UIAppearance::CheckOwnerThread() const
{
    if (fOwnerThread == -1)
        return true;
    uint32_t caller = fCheckThroughThreadRegistry && CXFiber::GetCurrentFiber() != nullptr ? CXFiber::GetFiberThreadId()
                                                                                           : CXThread::GetCurrentThreadId();
    return static_cast<int64_t>(caller) == fOwnerThread;
}

UIElement* UIAppearanceImplementationAdapter::CreateWrapperForUIElement(UIElement*)
{
    return nullptr;
}

UIAppearanceImplementationAdapter::~UIAppearanceImplementationAdapter()
{
    UnregisterAdapter(this);
}

void UIAppearanceImplementationAdapter::RegisterAdapter(UIAppearanceImplementationAdapter* adapter,
                                                        const UIAppearanceImplementation* from,
                                                        const UIAppearanceImplementation* to)
{
    if (adapter == nullptr)
        return;
    UnregisterAdapter(adapter);
    if (gAdapters == nullptr)
        gAdapters = new AdapterMap;
    auto [entry, inserted] = gAdapters->try_emplace(AdapterKey(from, to), adapter);
    if (!inserted) {
        UIAppearanceImplementationAdapter* replaced = entry->second;
        replaced->fFrom = nullptr;
        replaced->fTo = nullptr;
        entry->second = adapter;
    }
    adapter->fFrom = from;
    adapter->fTo = to;
}

void UIAppearanceImplementationAdapter::UnregisterAdapter(UIAppearanceImplementationAdapter* adapter)
{
    if (adapter == nullptr || gAdapters == nullptr)
        return;
    auto entry = gAdapters->find(AdapterKey(adapter->fFrom, adapter->fTo));
    if (entry != gAdapters->end() && entry->second == adapter)
        gAdapters->erase(entry);
    adapter->fFrom = nullptr;
    adapter->fTo = nullptr;
    if (gAdapters->empty()) {
        delete gAdapters;
        gAdapters = nullptr;
    }
}

UIAppearanceImplementationAdapter* UIAppearanceImplementationAdapter::FindAdapter(const UIAppearanceImplementation* from,
                                                                                  const UIAppearanceImplementation* to)
{
    if (gAdapters == nullptr)
        return nullptr;
    auto entry = gAdapters->find(AdapterKey(from, to));
    return entry != gAdapters->end() ? entry->second : nullptr;
}

UIElement* UIAppearanceImplementationAdapter::FindAdapterWrapper(const UIAppearance* parentAppearance, UIElement* parent,
                                                                 UIElement* child)
{
    if (tBuildingWrapper || child == nullptr || parentAppearance == nullptr)
        return nullptr;
    const UIAppearanceImplementation* from = parentAppearance->GetImplementation();
    if (from == nullptr)
        return nullptr;
    // A wrapper is where an element of another family lives: its children are never wrapped, or
    // re-resolving a wrapper would wrap what it holds over and over.
    if (parent != nullptr && parent->IsAdapter())
        return nullptr;
    const UIAppearanceImplementation* to = child->GetAppearance(parent)->GetImplementation();
    if (to == nullptr || to == from)
        return nullptr;
    UIAppearanceImplementationAdapter* adapter = FindAdapter(from, to);
    if (adapter == nullptr)
        return nullptr;
    tBuildingWrapper = true;
    UIElement* wrapper = adapter->CreateWrapperForUIElement(child);
    tBuildingWrapper = false;
    return wrapper;
}
