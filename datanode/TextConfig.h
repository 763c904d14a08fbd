#pragma once

#include "datanode/DNRawData.h"
#include "datanode/DNValue.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringEdit.h"

#include <cstddef>
#include <cstdint>

class CXStream;

// TextConfig: the text form of a data-node tree. A line-oriented list of items, each a key and
// a value; a value is bare text (typed: INT, INT64, FLOAT, INTS, FLOATS or STRING), a quoted
// string, a '{{{' verbatim '}}}' block, back-quoted hexadecimal bytes, or a '{' block '}' of
// further items. ';' starts a comment where an item may begin; '$name {' ... '}' is a directive
// block ("$meta" fills a folder's metadata; memory folders have none, so it is read and
// dropped).
//
// The reader takes untrusted input (control files, settings, web replies): it never fails as a
// whole, keeps what it could read, never reads past the data, follows blocks at most
// kMaximumDepth levels deep (deeper blocks are skipped with the same tokenising and logged once
// per parse) and reads at most kMaximumInputSize bytes from a stream.
class TextConfig {
public:
    static constexpr uint64_t kMaximumInputSize = 64ull * 1024 * 1024;
    static constexpr unsigned kMaximumDepth = 64;

    // How a value was written.
    enum class ValueForm { kHexBytes, kBareText, kString };

    // A new folder (never null) holding what could be parsed from the rest of the stream. A
    // stream that cannot tell its size, holds more than kMaximumInputSize bytes ("TextConfig::
    // Read> input file too large") or reads short gives the empty folder.
    static DNValueRef Read(CXStream& stream);
    // Parses the bytes into the existing folder, holding a reference to it meanwhile.
    static void ParseText(const DNValueRef& root, const char* data, size_t length);
    // Parses the whole buffer into the folder; a '}' that closes the top level with bytes left
    // after it ends the parse early and logs "TextConfig::Parse> error in data".
    static void Parse(const char* data, size_t length, DNValue* root);

    // The tokenisers. Each reads at cursor, moves cursor on and remaining down together, and
    // never reads past remaining bytes.
    // A quoted string, or the bytes up to the next blank or line end (not consumed); may be
    // empty.
    static void ParseKey(const char*& cursor, size_t& remaining, CXString& out);
    // A quoted string, a verbatim block, hex bytes or the bare text up to the line end, trimmed.
    static ValueForm ParseValue(const char*& cursor, size_t& remaining, CXString& out);
    // Each returns true when the closing delimiter was found, false when the data ended first
    // (or, for hex, a byte that is not a hex pair was met, which is not consumed). The text read
    // so far is stored either way.
    static bool ParseQuotedString(const char*& cursor, size_t& remaining, CXString& out);
    static bool ParseVerbatimString(const char*& cursor, size_t& remaining, CXString& out);
    static bool ParseHexData(const char*& cursor, size_t& remaining, CXString& out);

    // The leaf a bare value gives: INT, INT64, FLOAT (canonical decimals only), INTS or FLOATS of
    // two or more elements, else the STRING unchanged.
    static DNRawData TypedValueFromText(const CXString& text);

    // Writes the folder's items at the indent (in spaces; nested folders 2 more) with CR line
    // ends, quoting where the reader would otherwise read something else. Stops at the first
    // write the stream does not take in full and returns the stream's failure (-6 when it
    // recorded none); 0 when everything was written. A null folder is a caller error (-5).
    static CXResultCode Write(DNValue* folder, CXStream& stream, unsigned indent);
    // Indent 0; writes nothing for a null folder.
    static CXResultCode Write(DNValue* folder, CXStream& stream);

    // The empty text always needs quotes. Identifier rule (keys and STRING values): any byte
    // outside A-Z a-z 0-9 _ - # $, a leading '0' of a longer text, or a leading "-0". Value rule
    // (values of other types): a double quote, back-quote, brace, '$', CR, LF or any byte
    // outside 0x20-0x7E.
    static bool NeedsQuotes(const CXStringArgument& text, bool identifierRule);
    // The bytes as they are, or in double quotes with inner quotes doubled.
    static CXResultCode WriteQuoted(CXStream& stream, const CXStringArgument& text, bool identifierRule);
    // Upper-case hex pairs, 16 to a line; further lines start with a CR and the indent.
    static CXResultCode WriteHexData(CXStream& stream, unsigned continuationIndent, const CXStringArgument& payload);
};
