#pragma once

#include "foundation/CXFastArray.h"
#include "foundation/CXStringEdit.h"
#include "streams/CXStream.h"
#include "streams/CXStreamMemory.h"

#include <cstdint>

// Reads characters, words, lines and numbers from a stream, with push-back, folding every
// line-end convention into one: CR, LF, CR LF and LF CR each read as one CR; CR CR and LF LF as
// two. Until a first pair has been seen nothing is read past a line end; after it the reader
// peeks at the byte after each line end, so that a pair is consumed whole (a peeked byte that is
// no partner waits in the push-back stack). The stream is not owned; with none, every operation
// fails. The reader records no failures of its own: false means end of input or no number, and
// the stream's result tells which.
class CXStreamTextReader {
public:
    explicit CXStreamTextReader(CXStream* stream = nullptr) : fStream(stream) {}
    virtual ~CXStreamTextReader() = default;
    CXStreamTextReader(const CXStreamTextReader&) = delete;
    CXStreamTextReader& operator=(const CXStreamTextReader&) = delete;

    // The next character, a line end as CR; false (ch 0) at the end of input.
    bool GetChar(char& ch);
    // Gives a character back; the last one given back is read first, as itself, whatever the
    // reader peeked at meanwhile. A CR given back right after a line end restores that line end
    // as it was read, so a partner still to come is consumed with it.
    void UngetChar(char ch);
    // Reads the text character by character; at the first difference the character read is
    // given back and the result is false (the characters matched before it stay consumed).
    bool MatchLiteral(const char* text);
    // Collects decimal digits, skipping spaces and tabs before the first; the first other
    // character is given back. False only without a stream.
    bool ReadDigits(CXStringEditBase& builder);
    // An optional '-' (directly at the reading point), then blanks, then digits. False without
    // digits or when the number is out of range.
    bool ReadInt64(int64_t& value);
    // Blanks, then digits (leading zeros allowed). False without digits or out of range.
    bool ReadUInt32(uint32_t& value);
    // Skips spaces and tabs, then collects up to a space, a tab (consumed) or a line end
    // (consumed). A UTF-8 byte-order mark in front of the word is dropped. False only without a
    // stream.
    bool ReadWord(CXStringEditBase& builder);
    // The characters up to a line end, which is consumed. True at a line end, and at the end of
    // input when something was collected.
    bool ReadLine(CXStringEditBase& builder);

    // True when every byte of the text was written.
    static bool WriteText(CXStream& stream, const CXStringArgument& text);

    // Hands over what the reader holds back and has not yet read out: bytes it peeked from the
    // stream after a line end and characters given back, appended to bytes in the order they
    // would have been read. The reader is left empty; its next read goes to the stream. A caller
    // that reads the stream directly after a header block takes these first, or loses them.
    void TakePushedBack(CXStringEditBase& bytes);

    CXStream* GetStream() const { return fStream; }

protected:
    void SetStream(CXStream* stream) { fStream = stream; }

private:
    // Push-back entries: a byte peeked from the stream (read again as input), or a character
    // given back (returned as it is, with the line-end state it had).
    static constexpr uint16_t kGivenBack = 0x100;
    static constexpr uint16_t kPendingCR = 0x200;
    static constexpr uint16_t kPendingLF = 0x400;

    // The top of the push-back stack when it is a peeked byte, or a byte from the stream.
    bool NextByte(uint8_t& byte);
    void Push(uint16_t entry) { fPushBack.Append(entry); }

    CXStream* fStream;
    uint8_t fPendingLineEnd = 0; // a CR or LF reported as a line end whose partner may follow
    bool fLookAhead = false;
    FastArray<uint16_t> fPushBack;
};

// A text reader over a memory block, through a read-only static buffer it owns. The block must
// outlive the reader.
class CXStreamTextReaderBuffer : public CXStreamTextReader {
public:
    CXStreamTextReaderBuffer(const void* data, uint64_t size);
    explicit CXStreamTextReaderBuffer(const CXString& text);

private:
    CXStreamStaticBuffer fBuffer;
};
