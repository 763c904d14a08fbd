#pragma once

#include "foundation/CXString.h"
#include "platform/ChildProcess.h"
#include "streams/CXStream.h"

#include <string>
#include <vector>

// A stream over a child process's console: reads come from its standard output, writes go to its
// standard input. Reading blocks until the child writes or ends.
class CXShell : public CXStream {
public:
    // Starts the program (a host path or a name found in PATH); a failure is the stream's result.
    CXShell(const std::string& program, const std::vector<std::string>& arguments);
    ~CXShell() override;

    // Bytes available to read: when the buffer is used up, one read of up to 4096 bytes refills it
    // (and may block).
    uint64_t GetSize() override;
    // The child's exit code, or -1 while it runs (or when it never started).
    int GetExitCode();
    bool IsRunning();
    // Closes the child's standard input, so a program reading to the end of its input finishes.
    void CloseInput();

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    uint64_t VirtualWrite(const void* data, uint64_t size) override;

private:
    bool Refill();

    Platform::ChildProcess fChild;
    int fExitCode = -1;
    bool fExited = false;
    std::vector<uint8_t> fBuffer;
    size_t fFill = 0;
    size_t fReadPosition = 0;
};
