// Feeds arbitrary bytes to the media-volume reader as the file of one volume. The first byte
// picks the volume asked for (0 to 3; a later one expects a set of 2); the rest is the volume
// file, written into a scratch folder made once under /tmp, as is the joined output. Nothing may
// crash, and a volume that is refused leaves the output as it was.
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask_ApplyFilePatches.h"
#include "streams/CXStreamFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string gFolder; // host path of the scratch folder
// One task serves many inputs: its end writes the log with a sync, far slower than a run. It is
// renewed now and then so that the log of accepted volumes stays small.
std::unique_ptr<MervaneTask_ApplyFilePatches> gTask;
unsigned gTaskRuns = 0;

void Put(const std::string& path, const uint8_t* data, size_t size)
{
    // A new file each time: rewriting one in place makes the file system flush it on close.
    (void)unlink(path.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        std::abort();
}

// Leaves nothing behind when the fuzzer ends.
void RemoveScratch()
{
    gTask.reset(); // its end writes the log into the folder
    for (const char* leaf : {"patch-1.bin", "joined.bin", "mervane-log.txt"})
        (void)unlink((gFolder + "/" + leaf).c_str());
    (void)rmdir(gFolder.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    char folder[] = "/tmp/patch-volume-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        std::abort();
    gFolder = folder;
    std::atexit(RemoveScratch);
    // The task writes its log into the temporary folder when it ends.
    setenv("CX_FOLDER_TEMP", folder, 1);
    CXThread::CXInit();
    DNInitBuiltInTranslators();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CXDebugCapture quiet;

    uint32_t index = data[0] & 3;
    const std::string volumePath = gFolder + "/patch-1.bin";
    const std::string outputPath = gFolder + "/joined.bin";
    Put(volumePath, data + 1, size - 1);
    Put(outputPath, nullptr, 0);

    if (!gTask || ++gTaskRuns % 4096 == 0)
        gTask = std::make_unique<MervaneTask_ApplyFilePatches>();
    CXStreamFile output;
    if (!output.Open(CXFileSystem::FromNativePath(outputPath.c_str()), 0x1B))
        std::abort();
    uint32_t count = index == 0 ? 1 : 2;
    bool appended = gTask->AppendPatchVolume(output, CXFileSystem::FromNativePath(volumePath.c_str()), "abc", index, count);
    if (!appended && output.GetSize() != 0)
        std::abort();
    if (appended && (count == 0 || index >= count))
        std::abort();
    (void)output.Close();
    return 0;
}
