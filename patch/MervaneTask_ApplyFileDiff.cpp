#include "patch/MervaneTask_ApplyFileDiff.h"

#include "streams/CXStreamCopy.h"

#include <algorithm>

MervaneTask_ApplyFileDiff::MervaneTask_ApplyFileDiff()
    : CXThread("MervaneTask_ApplyFileDiff")
{
}

MervaneTask_ApplyFileDiff::~MervaneTask_ApplyFileDiff()
{
    StopAndWait();
}

void MervaneTask_ApplyFileDiff::SetStreams(std::unique_ptr<CXStream> source, std::unique_ptr<CXStream> diff,
                                           std::unique_ptr<CXStream> output)
{
    Stop();
    fSource = std::move(source);
    fDiff = std::move(diff);
    fOutput = std::move(output);
    fDiffLength = fDiff ? fDiff->GetSize() : 0;
}

void MervaneTask_ApplyFileDiff::Proceed()
{
    if (fSource && fDiff && fOutput && !IsRunning())
        CXThread::Start();
}

void MervaneTask_ApplyFileDiff::Cancel()
{
    if (IsRunning())
        RequestStop();
}

void MervaneTask_ApplyFileDiff::GetStatus(MervaneTaskStatus& status)
{
    CXCriticalSectionLocker lock(fLock);
    status = fStatus;
}

void MervaneTask_ApplyFileDiff::SetProgressFrom(int64_t position)
{
    if (fDiffLength == 0)
        return;
    float fraction = static_cast<float>(position) / static_cast<float>(fDiffLength);
    CXCriticalSectionLocker lock(fLock);
    fStatus.progress = std::max(fStatus.progress, fraction);
}

void MervaneTask_ApplyFileDiff::Fail(const char* detail)
{
    (void)fOutput->Close();
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = kMervaneTaskFailed;
    fStatus.progress = 1.0f;
    fStatus.text.Clear();
    fStatus.detail = detail;
}

void MervaneTask_ApplyFileDiff::Proc()
{
    {
        CXCriticalSectionLocker lock(fLock);
        fStatus.state = kMervaneTaskRunning;
        fStatus.progress = 0.0f;
        fStatus.text = "Installing...";
    }
    auto readCount = [this](uint32_t& value) {
        uint8_t bytes[4];
        if (fDiff->Read(bytes, 4) != 4)
            return false;
        value = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
        return true;
    };
    uint64_t size = fDiff->GetSize();
    while (static_cast<uint64_t>(fDiff->GetPosition()) < size) {
        if (IsStopRequested()) {
            Fail("Cancelled.");
            return;
        }
        uint8_t command = 0;
        if (fDiff->Read(&command, 1) != 1) {
            Fail("The diff could not be read.");
            return;
        }
        if (command == 1) {
            uint32_t count = 0;
            if (!readCount(count) || CopyStreamBytes(*fOutput, *fSource, count, {}) != kCXOK) {
                Fail("The diff could not be applied.");
                return;
            }
        } else if (command == 0) {
            uint32_t skip = 0;
            uint32_t count = 0;
            if (!readCount(skip) || !readCount(count) || fSource->Skip(skip) != skip ||
                CopyStreamBytes(*fOutput, *fDiff, count, {}) != kCXOK) {
                Fail("The diff could not be applied.");
                return;
            }
        }
        SetProgressFrom(fDiff->GetPosition());
    }
    // A stream that has no close of its own (memory) says so with -2: nothing was lost.
    CXResultCode closed = fOutput->Close();
    if (closed != kCXOK && closed != kCXNotSupported) {
        Fail("The output could not be written.");
        return;
    }
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = kMervaneTaskComplete;
    fStatus.progress = 1.0f;
    fStatus.text.Clear();
}
