// The MESSAGETABLE resource layout: the message texts of one locale, and the same layout for
// the symbolic names and comments of a message table.
//
//   NumberOfBlocks (4), then per block LowId, HighId, OffsetToEntries (4 each); per id from
//   LowId to HighId an entry: Length (2, head included), Flags (2; non-zero: UTF-16), the text
//   with its NUL.
#pragma once

#include "ide/msgtable/model/core/Bytes.h"

#include <string>
#include <vector>

namespace tamrel::msgcore {

struct MessageTableBlock {
    uint32_t LowId = 0;
    // The stored HighId; below LowId the block holds no entries.
    uint32_t HighId = 0;
    // The text of id LowId + i at index i.
    std::vector<std::u16string> Texts;
};

// Every count, offset and length is checked against Size: an entry must lie inside the data
// and be at least 4 bytes, and all entries together cannot outnumber Size / 4. A text ends at
// its NUL or at the end of its entry. Flags 0 entries go through Decode.
std::vector<MessageTableBlock> ReadMessageTable(const uint8_t* data, size_t size,
                                                AnsiDecoder decode = Latin1ToUtf16);

// The largest text that an entry's 16-bit Length can carry: 2 x units + 6 <= 65535.
inline constexpr size_t MaxMessageUnits = 32764;

// Writes the blocks in order; each entry is UTF-16 (Flags 1) with its NUL and no padding, the
// entries of a block right after those of the one before. HighId is LowId + count - 1. A block
// without texts gets no record: it holds no id, and a record of it could only say so with
// HighId below LowId, which the system's message look-up takes for a range that wraps. Raises,
// naming the block (index from 0), for a text longer than MaxMessageUnits, for a block whose
// ids would pass 0xFFFFFFFF and for two blocks that share ids (the look-up would find only the
// first block's text of an id).
Bytes WriteMessageTable(const std::vector<MessageTableBlock>& blocks);

} // namespace tamrel::msgcore
