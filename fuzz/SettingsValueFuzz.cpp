// Feeds arbitrary bytes to the settings reader as the value of one target's entry. Nothing may
// crash; a value it reads gives a record that is written and read back unchanged.
#include "app/MervaneSettings.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool SameStored(const PatchSettings& a, const PatchSettings& b)
{
    return a.userName == b.userName && a.password == b.password && a.streamId == b.streamId &&
           a.streamName == b.streamName && a.patchControlFileURL == b.patchControlFileURL &&
           a.patchDataFileURL == b.patchDataFileURL;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet;

    PatchSettings settings;
    if (!DecodePatchSettingsValue(CXString(reinterpret_cast<const char*>(data), size), settings))
        return 0;
    CXString value = EncodePatchSettingsValue(settings);
    if (value.IsEmpty())
        return 0; // a string too long for the record is not written
    PatchSettings again;
    if (!DecodePatchSettingsValue(value, again) || !SameStored(settings, again))
        std::abort();
    return 0;
}
