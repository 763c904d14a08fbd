#include "streams/StreamProcessorZLib.h"

#include "foundation/CXDebug.h"
#include "streams/CXStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

StreamProcessorZLib::StreamProcessorZLib()
{
    std::memset(&fZStream, 0, sizeof fZStream);
    fZStream.next_in = fInputBuffer;
    fZStream.avail_in = 0;
    fZStream.next_out = fOutputBuffer;
    fZStream.avail_out = kBufferSize;
    fZStream.zalloc = Z_NULL;
    fZStream.zfree = Z_NULL;
    fZStream.opaque = Z_NULL;
}

CXResultCode StreamProcessorZLib::WriteStreamToInputBuffer(CXStream& stream, uint64_t n)
{
    if (n == 0)
        return kCXOK;
    if (fFinished)
        CXDebugLog("StreamProcessorZLib::WriteStreamToInputBuffer> stream already finished");
    if (fZStream.avail_in != 0 && fZStream.next_in != fInputBuffer)
        std::memmove(fInputBuffer, fZStream.next_in, fZStream.avail_in);
    fZStream.next_in = fInputBuffer;
    if (n > InputSpace())
        return kCXBadParameter;
    uint64_t got = stream.Read(fInputBuffer + fZStream.avail_in, n);
    // Whatever came is kept: it has left the stream and cannot be read again.
    fZStream.avail_in += static_cast<uInt>(got);
    if (got == n)
        return kCXOK;
    if (stream.Failed())
        return stream.GetResult();
    return got != 0 ? kCXOK : kCXSystemError;
}

void StreamProcessorZLib::DropOutput(uint64_t n)
{
    if (n == 0)
        return;
    uint64_t rest = OutputAvailable() - n;
    if (rest != 0)
        std::memmove(fOutputBuffer, fOutputBuffer + n, static_cast<size_t>(rest));
    fZStream.avail_out += static_cast<uInt>(n);
    fZStream.next_out = fOutputBuffer + OutputAvailable();
}

CXResultCode StreamProcessorZLib::ReadOutput(void* buffer, uint64_t n)
{
    if (n == 0)
        return kCXOK;
    if (n > OutputAvailable())
        return kCXBadParameter;
    std::memcpy(buffer, fOutputBuffer, static_cast<size_t>(n));
    DropOutput(n);
    return kCXOK;
}

CXResultCode StreamProcessorZLib::WriteOutputToStream(CXStream& stream, uint64_t n)
{
    if (n == 0)
        return kCXOK;
    if (n > OutputAvailable())
        return kCXBadParameter;
    uint64_t written = stream.Write(fOutputBuffer, n);
    // Bytes the stream took are gone from the buffer, so a retry does not write them twice.
    DropOutput(written);
    if (written == n)
        return kCXOK;
    return stream.Failed() ? stream.GetResult() : kCXSystemError;
}

CXResultCode StreamProcessorZLib::ProcessInto(void* buffer, uint64_t n, uint64_t& produced)
{
    produced = 0;
    if (OutputAvailable() != 0)
        return kCXBadParameter;
    uInt room = static_cast<uInt>(std::min<uint64_t>(n, UINT32_MAX));
    fZStream.next_out = static_cast<Bytef*>(buffer);
    fZStream.avail_out = room;
    CXResultCode result = Process();
    produced = room - fZStream.avail_out;
    fZStream.next_out = fOutputBuffer;
    fZStream.avail_out = kBufferSize;
    return result;
}

StreamProcessorZLibDecompress::StreamProcessorZLibDecompress()
{
    fInitialised = inflateInit2(&fZStream, MAX_WBITS) == Z_OK;
}

StreamProcessorZLibDecompress::~StreamProcessorZLibDecompress()
{
    if (fInitialised)
        (void)inflateEnd(&fZStream);
}

CXResultCode StreamProcessorZLibDecompress::Process()
{
    if (!fInitialised)
        return kCXSystemError;
    switch (inflate(&fZStream, Z_NO_FLUSH)) {
    case Z_OK:
        return kCXOK;
    case Z_STREAM_END:
        fReachedEnd = true;
        return kCXEndOfData;
    case Z_BUF_ERROR:
        return kCXEndOfData;
    default:
        return kCXConversionFailed;
    }
}

StreamProcessorZLibCompress::StreamProcessorZLibCompress()
{
    fInitialised = deflateInit(&fZStream, Z_DEFAULT_COMPRESSION) == Z_OK;
}

StreamProcessorZLibCompress::~StreamProcessorZLibCompress()
{
    if (fInitialised)
        (void)deflateEnd(&fZStream);
}

CXResultCode StreamProcessorZLibCompress::Process()
{
    if (!fInitialised)
        return kCXSystemError;
    if (fZStream.avail_in == 0)
        fFinished = true;
    switch (deflate(&fZStream, fFinished ? Z_FINISH : Z_NO_FLUSH)) {
    case Z_OK:
        return kCXOK;
    case Z_STREAM_END:
        fReachedEnd = true;
        return kCXEndOfData;
    default:
        return kCXConversionFailed;
    }
}
