#pragma once

#include "foundation/CXResultCode.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <memory>

// What a diff generator reports as it walks the new file from start to end: ranges of the old
// file that the new file repeats, and old ranges that new bytes take the place of. Old ranges
// never go backwards: each starts where the previous one ended.
class BinaryDiff {
public:
    virtual ~BinaryDiff() = default;
    // The new file repeats old bytes [a, b). Returns the number of output bytes this stands for.
    virtual uint64_t copy(uint64_t a, uint64_t b)
    {
        (void)a;
        (void)b;
        return 0;
    }
    // Old bytes [a, b) are dropped and bytes [c, d) of the new file's stream go in their place.
    virtual void replace(uint64_t a, uint64_t b, CXStream& newFile, uint64_t c, uint64_t d)
    {
        (void)a;
        (void)b;
        (void)newFile;
        (void)c;
        (void)d;
    }
};

// Writes the diff command stream (PatchDataRecord.h) to the stream it owns. Ranges longer than a
// 32-bit operand holds are written as several commands. Write failures stay in the output
// stream's result; a new-file stream that comes up short is kept in GetResult.
class BinaryDiffCommandWriter : public BinaryDiff {
public:
    explicit BinaryDiffCommandWriter(std::unique_ptr<CXStream> output) : fOutput(std::move(output)) {}

    uint64_t copy(uint64_t a, uint64_t b) override;
    void replace(uint64_t a, uint64_t b, CXStream& newFile, uint64_t c, uint64_t d) override;

    CXStream& GetOutput() { return *fOutput; }
    // The first failure: the output's, else a copy from a new-file stream that failed.
    CXResultCode GetResult() const { return fOutput->Failed() ? fOutput->GetResult() : fResult; }

private:
    std::unique_ptr<CXStream> fOutput;
    CXResultCode fResult = kCXOK;
};

// Follows the output position a diff builds and logs each replacement.
class BinaryDiffTrace : public BinaryDiff {
public:
    uint64_t copy(uint64_t a, uint64_t b) override;
    // Logs "diff> replace <n> bytes at <output position>".
    void replace(uint64_t a, uint64_t b, CXStream& newFile, uint64_t c, uint64_t d) override;

    uint64_t GetPosition() const { return fPosition; }

private:
    uint64_t fPosition = 0;
};
