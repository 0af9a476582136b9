#include "ide/msgtable/model/core/VersionCodec.h"

#include <algorithm>

namespace tamrel::msgcore {

namespace {

std::string Ascii(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out.push_back(c >= 32 && c < 127 ? static_cast<char>(c) : '?');
    return out;
}

// Reads the children of a container node: one after the other, each on a 4-byte boundary,
// until the node's end or the first child that does not read.
template <class Child, class Read>
void ReadChildren(ByteReader& r, size_t end, std::vector<Child>& items, Read read) {
    ByteReader body = r.Limited(end);
    for (;;) {
        body.AlignClamped();
        if (body.AtEnd()) break;
        Child child;
        if (!read(body, child)) break;
        items.push_back(std::move(child));
    }
    r.Seek(end);
}

} // namespace

bool ReadVersionHead(ByteReader& r, VersionNodeHead& head, std::u16string_view defaultKey, size_t& end) {
    const size_t start = r.Pos();
    if (start % 4 != 0) throw FormatError(SAddressNotAligned);
    VersionNodeHead h;
    h.Length = r.U16();
    h.ValueLength = r.U16();
    h.Type = r.U16();
    if (h.Length < 6 || h.Length > r.End() - start)
        Fail("Version information: the node at offset %zu (length %u) does not fit in its parent", start, h.Length);
    ByteReader key = r.Limited(start + h.Length);
    h.Key = key.TextUpToNul();
    if (!defaultKey.empty() && h.Key != defaultKey) {
        r.Seek(start);
        return false;
    }
    key.AlignClamped();
    r.Seek(key.Pos());
    end = start + h.Length;
    head = std::move(h);
    return true;
}

bool ReadVersionString(ByteReader& r, VersionString& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, u"", end)) return false;
    ByteReader value = r.Limited(end);
    node.Value = value.TextUpToNul();
    r.Seek(end);
    return true;
}

bool ReadVersionStringTable(ByteReader& r, VersionStringTable& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, u"", end)) return false;
    ReadChildren(r, end, node.Items, ReadVersionString);
    return true;
}

bool ReadVersionStringFileInfo(ByteReader& r, VersionStringFileInfo& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, KeyStringFileInfo, end)) return false;
    ReadChildren(r, end, node.Items, ReadVersionStringTable);
    return true;
}

bool ReadVersionVar(ByteReader& r, VersionVar& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, KeyTranslation, end)) return false;
    ByteReader values = r.Limited(end);
    const size_t count = node.Head.ValueLength / 4;
    if (count > values.Left() / 4)
        Fail("Version information: %zu translations do not fit in their node", count);
    for (size_t i = 0; i < count; ++i) node.Items.push_back(values.U32());
    r.Seek(end);
    return true;
}

bool ReadVersionVarFileInfo(ByteReader& r, VersionVarFileInfo& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, KeyVarFileInfo, end)) return false;
    ReadChildren(r, end, node.Items, ReadVersionVar);
    return true;
}

bool ReadVersionInfo(ByteReader& r, VersionInfoTree& node) {
    size_t end;
    if (!ReadVersionHead(r, node.Head, KeyVersionInfo, end)) return false;
    ByteReader body = r.Limited(end);
    if (node.Head.ValueLength != 0) {
        if (body.Left() < 52) Fail("Version information: the fixed file information is cut short");
        FixedFileInfoBytes fixed;
        const uint8_t* p = body.Take(fixed.size());
        std::copy(p, p + fixed.size(), fixed.begin());
        node.FixedFileInfo = fixed;
    }
    body.AlignClamped();
    if (!body.AtEnd()) {
        VersionStringFileInfo strings;
        if (ReadVersionStringFileInfo(body, strings)) node.StringFileInfo = std::move(strings);
    }
    body.AlignClamped();
    if (!body.AtEnd()) {
        VersionVarFileInfo vars;
        if (ReadVersionVarFileInfo(body, vars)) node.VarFileInfo = std::move(vars);
    }
    r.Seek(end);
    return true;
}

void WriteVersionHead(ByteWriter& w, const VersionNodeHead& head) {
    if (w.Pos() % 4 != 0) throw FormatError(SAddressNotAligned);
    w.U16(head.Length);
    w.U16(head.ValueLength);
    w.U16(head.Type);
    w.Text(head.Key, true);
    w.AlignZeros();
}

uint16_t VersionNodeLength(size_t size, std::u16string_view key) {
    if (size > UINT16_MAX)
        Fail("The version information node \"%s\" is too large: %zu bytes, at most 65535 fit", Ascii(key).c_str(), size);
    return static_cast<uint16_t>(size);
}

} // namespace tamrel::msgcore
