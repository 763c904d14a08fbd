#include "streams/CXStreamProcessorWrapper.h"

#include <algorithm>

CXStreamProcessorWrapper::CXStreamProcessorWrapper(CXStream* source, StreamProcessor* readProcessor)
    : CXStream((readProcessor != nullptr ? kCapsRead : 0) | kCapsPositionKnown | kCapsOpen)
    , fSource(source)
    , fReadProcessor(readProcessor)
{
}

CXStreamProcessorWrapper::~CXStreamProcessorWrapper()
{
    (void)Flush(1);
}

CXResultCode CXStreamProcessorWrapper::Flush(uint32_t hard)
{
    if (fSource == nullptr)
        return kCXOK;
    return fSource->Flush(hard);
}

bool CXStreamProcessorWrapper::Feed()
{
    if (fInputEnded)
        return true;
    uint64_t ask = fReadProcessor->InputSpace();
    if (ask == 0)
        return true;
    // The size is asked afresh each time: a source that does not know it is read until it ends.
    uint32_t caps = fSource->GetCaps();
    if ((caps & kCapsSizeKnown) && (caps & kCapsAvailableKnown)) {
        uint64_t available = fSource->GetSize();
        if (available != 0)
            ask = std::min(ask, available);
    } else if ((caps & kCapsSizeKnown) && (caps & kCapsPositionKnown)) {
        uint64_t left = fSource->BytesRemaining();
        if (left == 0) {
            fInputEnded = true;
            return true;
        }
        ask = std::min(ask, left);
    }
    CXResultCode result = fReadProcessor->WriteStreamToInputBuffer(*fSource, ask);
    if (result == kCXOK)
        return true;
    if (result == kCXEndOfData) {
        fInputEnded = true;
        return true;
    }
    SetResult(result);
    return false;
}

uint64_t CXStreamProcessorWrapper::VirtualRead(void* buffer, uint64_t size)
{
    if (fReadProcessor == nullptr) {
        SetResult(kCXNotSupported);
        return 0;
    }
    if (fSource == nullptr) {
        SetResult(kCXAlreadyOpen);
        return 0;
    }
    if (fBroken)
        return 0;
    StreamProcessor& processor = *fReadProcessor;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t done = 0;
    while (done < size) {
        uint64_t wanted = size - done;
        if (processor.OutputAvailable() < wanted) {
            if (!Feed())
                break;
            bool direct = processor.OutputAvailable() == 0 && wanted >= kDirectReadMinimum;
            uint64_t produced = 0;
            CXResultCode result = direct ? processor.ProcessInto(out + done, wanted, produced) : processor.Process();
            if (result == kCXEndOfData && produced == 0 && processor.OutputAvailable() == 0) {
                if (processor.ReachedEnd()) {
                    MarkEndOfData();
                    break;
                }
                if (fInputEnded) {
                    SetResult(kCXConversionFailed);
                    fBroken = true;
                    break;
                }
                continue; // more input is needed
            }
            if (result != kCXOK && result != kCXEndOfData) {
                // What the failing step produced is not delivered, wherever it went.
                SetResult(result);
                fBroken = result == kCXConversionFailed;
                break;
            }
            if (direct) {
                done += produced;
                continue;
            }
        }
        uint64_t take = std::min(wanted, processor.OutputAvailable());
        CXResultCode result = processor.ReadOutput(out + done, take);
        if (result != kCXOK) {
            SetResult(result);
            break;
        }
        done += take;
    }
    fWindowBase += static_cast<int64_t>(done);
    return done;
}
