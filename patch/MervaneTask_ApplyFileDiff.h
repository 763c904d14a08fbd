#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <memory>

// Applies one diff command stream to a source stream into an output stream on a thread of its
// own: command 1 with a 32-bit big-endian count copies that many source bytes; command 0 with a
// 32-bit skip and a 32-bit count moves the source on and copies that many diff bytes; any other
// byte is passed over. A read or copy that comes up short ends the task failed (state 5), so a
// damaged or failing diff can never keep it spinning.
class MervaneTask_ApplyFileDiff : public MervaneTask, public CXThread {
public:
    MervaneTask_ApplyFileDiff();
    ~MervaneTask_ApplyFileDiff() override;

    // Hands over the three streams (before Proceed); progress is measured against the diff's
    // size.
    void SetStreams(std::unique_ptr<CXStream> source, std::unique_ptr<CXStream> diff, std::unique_ptr<CXStream> output);

    // Starts the thread when all three streams are set.
    void Proceed() override;
    void Cancel() override;
    void GetStatus(MervaneTaskStatus& status) override;

    void Proc() override;

private:
    void SetProgressFrom(int64_t position);
    void Fail(const char* detail);

    CXCriticalSection fLock;
    MervaneTaskStatus fStatus;
    std::unique_ptr<CXStream> fSource;
    std::unique_ptr<CXStream> fDiff;
    std::unique_ptr<CXStream> fOutput;
    uint64_t fDiffLength = 0;
};
