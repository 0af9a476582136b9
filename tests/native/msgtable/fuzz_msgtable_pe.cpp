// PE images: headers, the resource tree, its rewriting in our layout, and the section update.
#include "ide/msgtable/model/core/PeCodec.h"

#include <cstdlib>

using namespace tamrel::msgcore;

namespace {

bool Same(const ResourceNode& a, const ResourceNode& b) {
    if (!(a.Id == b.Id) || a.IsDirectory != b.IsDirectory || a.CodePage != b.CodePage || a.Data != b.Data ||
        a.Items.size() != b.Items.size())
        return false;
    for (size_t i = 0; i < a.Items.size(); ++i)
        if (!Same(a.Items[i], b.Items[i])) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResourceNode tree;
    try {
        const PeLayout layout = ReadPeLayout(data, size);
        const PeSection* rsrc = FindPeSection(layout, ".rsrc");
        if (!rsrc || rsrc->PointerToRawData > size) return 0;
        const size_t length = std::min<size_t>(rsrc->SizeOfRawData, size - rsrc->PointerToRawData);
        tree = ReadResourceDirectory(data + rsrc->PointerToRawData, length, rsrc->VirtualAddress);
    } catch (const FormatError&) {
        return 0;
    }
    // Our layout of the same tree reads back as the same tree (sorted as it is written).
    Bytes section(ResourceTreeSize(tree));
    try {
        WriteResourceTree(tree, section.data(), section.size(), 0, 0x1000);
    } catch (const FormatError&) {
        return 0; // a count beyond what a directory can hold
    }
    const ResourceNode again = ReadResourceDirectory(section.data(), section.size(), 0x1000);
    if (!Same(tree, again)) std::abort();
    Bytes image(data, data + size);
    try {
        ReplaceResourceSection(image, tree);
        ReadPeLayout(image.data(), image.size());
    } catch (const FormatError&) {
    }
    return 0;
}
