// Every message-table fuzz target runs with at most 64 MiB per allocation: a reader that trusts
// a count or a length from its input shows up as a failed run, not as a slow one.
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char limit[] = "-malloc_limit_mb=64";
    args.assign(*argv, *argv + *argc);
    args.push_back(limit);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}
