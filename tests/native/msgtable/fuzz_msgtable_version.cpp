// Version-information nodes: the whole tree, and a string table on its own (the attributes).
#include "ide/msgtable/model/core/VersionCodec.h"

#include <cstring>

using namespace tamrel::msgcore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        ByteReader r(data, size);
        VersionInfoTree tree;
        ReadVersionInfo(r, tree);
    } catch (const FormatError&) {
    }
    try {
        ByteReader r(data, size);
        VersionStringTable table;
        ReadVersionStringTable(r, table);
    } catch (const FormatError&) {
    }
    return 0;
}
