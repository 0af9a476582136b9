// .RES streams: every entry that reads writes back and reads again to the same entry.
#include "ide/msgtable/model/core/ResCodec.h"

#include <cstdlib>

using namespace tamrel::msgcore;

namespace {

bool Same(const ResEntry& a, const ResEntry& b) {
    return a.Type == b.Type && a.Name == b.Name && a.DataVersion == b.DataVersion && a.MemoryFlags == b.MemoryFlags &&
           a.LanguageId == b.LanguageId && a.Version == b.Version && a.Characteristics == b.Characteristics &&
           a.Data == b.Data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    while (!r.AtEnd()) {
        ResEntry entry;
        try {
            ReadResEntry(r, entry);
        } catch (const FormatError&) {
            return 0;
        }
        Bytes written;
        ByteWriter w(written);
        WriteResEntry(w, entry);
        if (written.size() % 4 != 0) std::abort();
        ByteReader back(written.data(), written.size());
        ResEntry again;
        ReadResEntry(back, again);
        if (!back.AtEnd() || !Same(entry, again)) std::abort();
    }
    return 0;
}
