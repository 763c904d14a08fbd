#pragma once

#include "streams/CXStreamMemory.h"

#include <cstdint>

// A dynamic buffer standing in for another stream, written back into it on close. Nothing in the
// program constructs one.
class CXStreamMemoryCacheWrapper : public CXStreamDynamicBuffer {
public:
    static constexpr uint32_t kFlagWriteBack = 0x2; // copy the contents into the source on close
    static constexpr uint32_t kFlagKeepSource = 0x4; // do not destroy the source on close

    CXStreamMemoryCacheWrapper() = default;
    // Closes as Close does when a source is attached.
    ~CXStreamMemoryCacheWrapper() override;

    // Attaches the stream this buffer stands in for. Without kFlagKeepSource the wrapper takes
    // ownership and destroys it on close.
    void Attach(CXStream* source, uint32_t flags);
    // With kFlagWriteBack copies the whole contents into the source from its start; then destroys
    // the source unless kFlagKeepSource, and forgets it. Returns the failure of the copy, else OK.
    CXResultCode Close() override;

private:
    CXStream* fSource = nullptr;
    uint32_t fFlags = 0;
};
