// Writes each resource of a .RES file into <dir>/<kind>/: message tables and their names and
// comments to messages/, version and attributes nodes to version/. Seeds of the fuzz targets.
#include "ide/msgtable/model/core/ResCodec.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using namespace tamrel::msgcore;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <file.res> <seed dir>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        ByteReader r(bytes.data(), bytes.size());
        for (int n = 0; !r.AtEnd(); ++n) {
            ResEntry e;
            ReadResEntry(r, e);
            const char* kind = nullptr;
            if (e.Type.IsString) kind = "messages"; // the names and comments tables
            else if (e.Type.Id == 11) kind = "messages";
            else if (e.Type.Id == 16 || e.Type.Id == 10) kind = "version";
            if (!kind) continue;
            const std::string path = std::string(argv[2]) + "/" + kind + "/res" + std::to_string(n) + ".bin";
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(e.Data.data()), e.Data.size());
        }
    } catch (const FormatError& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
