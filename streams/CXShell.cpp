#include "streams/CXShell.h"

#include "foundation/CXHostError.h"
#include "platform/File.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t kBufferSize = 4096;
}

CXShell::CXShell(const std::string& program, const std::vector<std::string>& arguments)
    : CXStream(kCapsRead | kCapsWrite | kCapsAvailableKnown)
    , fBuffer(kBufferSize)
{
    int error = Platform::SpawnWithPipes(program, arguments, fChild);
    if (error != 0)
        SetResult(CXResultFromHostError(error));
    else
        fCaps |= kCapsOpen;
}

CXShell::~CXShell()
{
    Platform::CloseChildPipes(fChild);
    (void)IsRunning(); // reaps a child that has ended
}

int CXShell::GetExitCode()
{
    if (!fExited && fChild.pid >= 0)
        fExited = Platform::PollChildExit(fChild, fExitCode);
    return fExited ? fExitCode : -1;
}

bool CXShell::IsRunning()
{
    return fChild.pid >= 0 && GetExitCode() == -1 && !fExited;
}

void CXShell::CloseInput()
{
    if (fChild.inputWrite >= 0) {
        (void)Platform::CloseFile(fChild.inputWrite);
        fChild.inputWrite = -1;
    }
}

bool CXShell::Refill()
{
    fReadPosition = 0;
    fFill = 0;
    if (fChild.outputRead < 0)
        return false;
    size_t got = 0;
    if (Platform::ReadFile(fChild.outputRead, fBuffer.data(), fBuffer.size(), got) != 0)
        return false;
    fFill = got;
    return got != 0;
}

uint64_t CXShell::GetSize()
{
    if (fReadPosition >= fFill)
        (void)Refill();
    return fFill - fReadPosition;
}

uint64_t CXShell::VirtualRead(void* buffer, uint64_t size)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t total = 0;
    while (total < size) {
        if (fReadPosition < fFill) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(size - total, fFill - fReadPosition));
            std::memcpy(out + total, fBuffer.data() + fReadPosition, n);
            fReadPosition += n;
            total += n;
            continue;
        }
        if (total != 0)
            break; // hand out what is there rather than block for more
        if (size - total >= kBufferSize && fChild.outputRead >= 0) {
            size_t got = 0;
            if (Platform::ReadFile(fChild.outputRead, out + total, static_cast<size_t>(size - total), got) == 0 && got != 0) {
                total += got;
                break;
            }
        } else if (Refill()) {
            continue;
        }
        // Nothing more to read: no pipe, or the child closed its output (it has ended or is
        // ending).
        MarkEndOfData();
        break;
    }
    return total;
}

uint64_t CXShell::VirtualWrite(const void* data, uint64_t size)
{
    if (fChild.inputWrite < 0) {
        SetResult(kCXFailed);
        return 0;
    }
    size_t written = 0;
    int error = Platform::WriteToChild(fChild, data, static_cast<size_t>(size), written);
    if (error != 0)
        SetResult(CXResultFromHostError(error));
    return written;
}
