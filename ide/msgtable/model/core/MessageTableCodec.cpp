#include "ide/msgtable/model/core/MessageTableCodec.h"

#include <algorithm>

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

namespace {

// The ids a block of texts holds, on 64 bits so that a range past the top shows.
struct IdRange {
    uint64_t Low, High;
    size_t Block;
};

void CheckRanges(const std::vector<MessageTableBlock>& blocks) {
    std::vector<IdRange> ranges;
    for (size_t k = 0; k < blocks.size(); ++k) {
        if (blocks[k].Texts.empty()) continue;
        const IdRange r{blocks[k].LowId, blocks[k].LowId + uint64_t(blocks[k].Texts.size()) - 1, k};
        if (r.High > UINT32_MAX)
            Fail("The %zu messages of block %zu from id 0x%08llX would pass the last id 0xFFFFFFFF",
                 blocks[k].Texts.size(), k, static_cast<unsigned long long>(r.Low));
        ranges.push_back(r);
    }
    std::sort(ranges.begin(), ranges.end(), [](const IdRange& a, const IdRange& b) { return a.Low < b.Low; });
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].Low <= ranges[i - 1].High)
            Fail("Blocks %zu (ids 0x%08llX-0x%08llX) and %zu (ids 0x%08llX-0x%08llX) share ids",
                 ranges[i - 1].Block, static_cast<unsigned long long>(ranges[i - 1].Low),
                 static_cast<unsigned long long>(ranges[i - 1].High), ranges[i].Block,
                 static_cast<unsigned long long>(ranges[i].Low),
                 static_cast<unsigned long long>(ranges[i].High));
}

} // namespace

Bytes WriteMessageTable(const std::vector<MessageTableBlock>& blocks) {
    CheckRanges(blocks);
    size_t records = 0;
    uint64_t size = 4;
    for (size_t k = 0; k < blocks.size(); ++k) {
        const MessageTableBlock& block = blocks[k];
        if (!block.Texts.empty()) {
            ++records;
            size += 12;
        }
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
    w.U32(static_cast<uint32_t>(records));
    w.Zeros(12 * records);
    size_t record = 4;
    for (const MessageTableBlock& block : blocks) {
        if (block.Texts.empty()) continue;
        w.PutU32At(record, block.LowId);
        w.PutU32At(record + 4, static_cast<uint32_t>(block.LowId + block.Texts.size() - 1));
        w.PutU32At(record + 8, static_cast<uint32_t>(w.Pos()));
        record += 12;
        for (const std::u16string& text : block.Texts) {
            w.U16(static_cast<uint16_t>(2 * text.size() + 6));
            w.U16(1);
            w.Text(text, true);
        }
    }
    return out;
}

} // namespace tamrel::msgcore
