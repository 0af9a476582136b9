#include "ide/msgtable/model/core/MessageTableCodec.h"

namespace tamrel::msgcore {

std::vector<MessageTableBlock> ReadMessageTable(const uint8_t* data, size_t size, AnsiDecoder decode) {
    ByteReader r(data, size);
    const uint32_t blockCount = r.U32();
    if (blockCount > r.Left() / 12)
        Fail("Message table: %u blocks do not fit in %zu bytes", blockCount, size);
    // Entries of different blocks never share bytes, so the whole table holds at most one entry
    // per 4 bytes: a HighId far beyond LowId cannot make more messages than the data carries.
    uint64_t budget = size / 4;
    std::vector<MessageTableBlock> blocks(blockCount);
    for (uint32_t k = 0; k < blockCount; ++k) {
        MessageTableBlock& block = blocks[k];
        block.LowId = r.U32();
        block.HighId = r.U32();
        const uint32_t offset = r.U32();
        const uint64_t count = block.HighId >= block.LowId ? uint64_t(block.HighId) - block.LowId + 1 : 0;
        if (count > budget)
            Fail("Message table: block %u claims %llu entries, more than the data can hold", k,
                 static_cast<unsigned long long>(count));
        budget -= count;
        ByteReader entries(data, size);
        entries.Seek(offset);
        block.Texts.reserve(static_cast<size_t>(count));
        for (uint64_t i = 0; i < count; ++i) {
            const size_t at = entries.Pos();
            const uint16_t length = entries.U16();
            const uint16_t flags = entries.U16();
            if (length < 4 || length - 4u > entries.Left())
                Fail("Message table: the entry of id 0x%llX at offset %zu has a bad length (%u)",
                     static_cast<unsigned long long>(block.LowId + i), at, length);
            ByteReader text = entries.Limited(at + length);
            if (flags != 0) {
                block.Texts.push_back(text.TextUpToNul());
            } else {
                const char* chars = reinterpret_cast<const char*>(data + at + 4);
                std::string_view ansi(chars, length - 4u);
                ansi = ansi.substr(0, ansi.find('\0'));
                block.Texts.push_back(decode(ansi));
            }
            entries.Seek(at + length);
        }
    }
    return blocks;
}

Bytes WriteMessageTable(const std::vector<MessageTableBlock>& blocks) {
    uint64_t size = 4 + 12 * uint64_t(blocks.size());
    for (size_t k = 0; k < blocks.size(); ++k) {
        const MessageTableBlock& block = blocks[k];
        for (size_t i = 0; i < block.Texts.size(); ++i) {
            if (block.Texts[i].size() > MaxMessageUnits)
                Fail("The text of message 0x%08X in block %zu is too long: %zu UTF-16 units, at most %zu fit",
                     static_cast<uint32_t>(block.LowId + i), k, block.Texts[i].size(), MaxMessageUnits);
            size += 2 * block.Texts[i].size() + 6;
        }
    }
    if (size > UINT32_MAX) Fail("The message table is too large (%llu bytes)", static_cast<unsigned long long>(size));

    Bytes out;
    out.reserve(static_cast<size_t>(size));
    ByteWriter w(out);
    w.U32(static_cast<uint32_t>(blocks.size()));
    w.Zeros(12 * blocks.size());
    for (size_t k = 0; k < blocks.size(); ++k) {
        const MessageTableBlock& block = blocks[k];
        const size_t record = 4 + 12 * k;
        w.PutU32At(record, block.LowId);
        w.PutU32At(record + 4, static_cast<uint32_t>(block.LowId + block.Texts.size() - 1));
        w.PutU32At(record + 8, static_cast<uint32_t>(w.Pos()));
        for (const std::u16string& text : block.Texts) {
            w.U16(static_cast<uint16_t>(2 * text.size() + 6));
            w.U16(1);
            w.Text(text, true);
        }
    }
    return out;
}

} // namespace tamrel::msgcore
