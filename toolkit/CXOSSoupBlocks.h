#pragma once

// Readers of the memory blocks that the clipboard and drags hand over, as plain functions over a
// block's bytes and size. Whatever the bytes claim, none reads outside [bytes, bytes + size); a
// null bytes pointer counts as an empty block.

#include "foundation/CXString.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Unicode text (UTF-16 units in machine order): the units up to the first zero unit or the end of
// the block (an odd last byte is ignored), as UTF-8 with every line break made "\n".
CXString ReadUnicodeTextBlock(const uint8_t* bytes, size_t size);

// A registered format's block: a 32-bit length in machine order, then that many bytes (the block
// may be longer). False for a damaged block (under 4 bytes, or a length above size - 4); else
// data and length give the bytes inside the block.
[[nodiscard]] bool ReadRegisteredFormatBlock(const uint8_t* bytes, size_t size, const uint8_t*& data,
                                             size_t& length);

// Narrow (UTF-8) text: the bytes up to the first zero byte or the end of the block.
CXString ReadNarrowTextBlock(const uint8_t* bytes, size_t size);

// The names of a file-list block (a DROPFILES head, then names from its pFiles offset: UTF-16
// when fWide is set, else UTF-8, each ended by a zero, the list by an empty name), in UTF-8 and in
// order. A block too small for its head, or whose pFiles lies inside the head or past the block,
// lists nothing; a name that runs to the block's end without its zero ends the list unlisted.
std::vector<CXString> ReadFileListBlock(const uint8_t* bytes, size_t size);
