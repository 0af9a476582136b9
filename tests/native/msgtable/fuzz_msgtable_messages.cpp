// MESSAGETABLE data: whatever reads must write back and read again to the same texts.
#include "ide/msgtable/model/core/MessageTableCodec.h"

#include <cstdlib>

using namespace tamrel::msgcore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<MessageTableBlock> blocks;
    try {
        blocks = ReadMessageTable(data, size);
    } catch (const FormatError&) {
        return 0;
    }
    Bytes written;
    try {
        written = WriteMessageTable(blocks);
    } catch (const FormatError&) {
        return 0; // a text too long for the 16-bit length of our own entries, or blocks sharing ids
    }
    // Empty blocks are written without a record.
    std::erase_if(blocks, [](const MessageTableBlock& b) { return b.Texts.empty(); });
    const std::vector<MessageTableBlock> again = ReadMessageTable(written.data(), written.size());
    if (again.size() != blocks.size()) std::abort();
    for (size_t k = 0; k < blocks.size(); ++k)
        if (again[k].LowId != blocks[k].LowId || again[k].HighId < again[k].LowId ||
            again[k].Texts != blocks[k].Texts)
            std::abort();
    return 0;
}
