#include "host/Streaming.h"

#include <cmath>
#include <cwchar>

namespace tamrel {

struct TPropNode;

struct TValueNode {
    enum TKind { vkNone, vkInt, vkFloat, vkString, vkIdent, vkSet, vkList, vkCollection, vkBinary };
    TKind Kind = vkNone;
    int64_t Int = 0;
    double Float = 0;
    std::wstring Str; // string text or identifier
    std::vector<std::wstring> Set;
    std::vector<TValueNode> List;
    std::vector<std::vector<TPropNode>> Items;
    std::vector<uint8_t> Bin;
    int Line = 0;
};

struct TPropNode {
    std::wstring Name;
    TValueNode Value;
    int Line = 0;
};

struct TObjectNode {
    std::wstring Name;
    std::wstring Class;
    std::vector<TPropNode> Props;
    std::vector<TObjectNode> Children;
    int Line = 0;
};

namespace {

[[noreturn]] void ReadError(int line, const std::wstring& message) {
    throw EReadError(L"Line %d: %s", line, message);
}

const wchar_t* KindName(TValueNode::TKind k) {
    switch (k) {
    case TValueNode::vkInt:
        return L"integer";
    case TValueNode::vkFloat:
        return L"number";
    case TValueNode::vkString:
        return L"string";
    case TValueNode::vkIdent:
        return L"identifier";
    case TValueNode::vkSet:
        return L"set";
    case TValueNode::vkList:
        return L"list";
    case TValueNode::vkCollection:
        return L"collection";
    case TValueNode::vkBinary:
        return L"binary data";
    default:
        return L"nothing";
    }
}

// ---------------------------------------------------------------------------------------------
// Parser of the text form

class TParser {
public:
    explicit TParser(std::wstring_view text) : FText(text) { Next(); }

    TObjectNode ParseRoot() {
        TObjectNode root = ParseObject();
        if (FTok != tEOF) Error(L"End of text expected");
        return root;
    }

private:
    enum Tok { tEOF, tIdent, tString, tInt, tFloat, tSymbol };

    [[noreturn]] void Error(const std::wstring& message) { ReadError(FTokLine, message); }

    bool IsIdent(const wchar_t* word) const { return FTok == tIdent && SameText(FTokText, word); }
    bool IsSymbol(wchar_t c) const { return FTok == tSymbol && FSym == c; }
    void Expect(wchar_t c) {
        if (!IsSymbol(c)) Error(Format(L"'%s' expected", std::wstring(1, c)));
        Next();
    }

    static bool IdentStart(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_'; }
    static bool IdentChar(wchar_t c) { return IdentStart(c) || (c >= L'0' && c <= L'9') || c == L'.'; }
    static bool Digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
    static int HexValue(wchar_t c) {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        return -1;
    }

    void SkipBlanks() {
        while (FPos < FText.size()) {
            wchar_t c = FText[FPos];
            if (c == L'\n') ++FLine;
            else if (c > L' ' && c != 0xFEFF) break;
            ++FPos;
        }
    }

    void Next() {
        SkipBlanks();
        FTokLine = FLine;
        if (FPos >= FText.size()) {
            FTok = tEOF;
            return;
        }
        const wchar_t c = FText[FPos];
        if (IdentStart(c)) ScanIdent();
        else if (c == L'\'' || c == L'#') ScanString();
        else if (NumberStart()) ScanNumber();
        else {
            FTok = tSymbol;
            FSym = c;
            ++FPos;
        }
    }

    bool More() const { return FPos < FText.size(); }
    wchar_t Peek() const { return FText[FPos]; }

    void ScanIdent() {
        size_t start = FPos;
        while (More() && IdentChar(Peek())) ++FPos;
        FTok = tIdent;
        FTokText.assign(FText.substr(start, FPos - start));
    }

    // A string: quoted parts ('it''s') and character codes (#13, #$0A) run together.
    void ScanString() {
        FTokText.clear();
        while (More() && (Peek() == L'\'' || Peek() == L'#')) {
            if (Peek() == L'\'') ScanQuoted();
            else ScanCharCode();
        }
        FTok = tString;
    }

    void ScanQuoted() {
        ++FPos;
        for (;;) {
            if (!More() || Peek() == L'\n' || Peek() == L'\r') Error(L"Unterminated string");
            if (Peek() == L'\'') {
                if (FPos + 1 < FText.size() && FText[FPos + 1] == L'\'') {
                    FTokText.push_back(L'\'');
                    FPos += 2;
                    continue;
                }
                ++FPos;
                return;
            }
            FTokText.push_back(FText[FPos++]);
        }
    }

    void ScanCharCode() {
        ++FPos;
        const bool hex = More() && Peek() == L'$';
        if (hex) ++FPos;
        uint32_t code = 0;
        int digits = 0;
        for (; More() && digits < 8; ++digits) {
            const int d = hex ? HexValue(Peek()) : Digit(Peek()) ? Peek() - L'0' : -1;
            if (d < 0) break;
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
            ++FPos;
        }
        if (digits == 0 || code > 0xFFFF) Error(L"Invalid character code");
        FTokText.push_back(static_cast<wchar_t>(code));
    }

    // A digit or $, or a sign right before one.
    bool NumberStart() const {
        const wchar_t c = Peek();
        if (Digit(c) || c == L'$') return true;
        return (c == L'-' || c == L'+') && FPos + 1 < FText.size() &&
               (Digit(FText[FPos + 1]) || FText[FPos + 1] == L'$');
    }

    void ScanNumber() {
        const size_t start = FPos;
        bool neg = false;
        if (Peek() == L'-' || Peek() == L'+') {
            neg = Peek() == L'-';
            ++FPos;
        }
        if (Peek() == L'$') ScanHexNumber(neg);
        else ScanDecimal(start);
    }

    void ScanHexNumber(bool neg) {
        ++FPos;
        uint64_t v = 0;
        int digits = 0;
        while (More() && HexValue(Peek()) >= 0) {
            if (++digits > 16) Error(L"Number too large");
            v = v * 16 + static_cast<uint64_t>(HexValue(FText[FPos++]));
        }
        if (digits == 0) Error(L"Invalid number");
        FTok = tInt;
        FInt = neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    }

    void SkipDigits() {
        while (More() && Digit(Peek())) ++FPos;
    }

    // Digits, an optional fraction (a dot followed by a digit) and an optional exponent (an e
    // followed by a digit, after an optional sign): an integer without the last two.
    void ScanDecimal(size_t start) {
        SkipDigits();
        bool isFloat = false;
        if (FPos + 1 < FText.size() && Peek() == L'.' && Digit(FText[FPos + 1])) {
            isFloat = true;
            ++FPos;
            SkipDigits();
        }
        if (More() && (Peek() == L'e' || Peek() == L'E')) {
            const size_t save = FPos++;
            if (More() && (Peek() == L'-' || Peek() == L'+')) ++FPos;
            if (More() && Digit(Peek())) {
                isFloat = true;
                SkipDigits();
            } else {
                FPos = save;
            }
        }
        std::wstring num(FText.substr(start, FPos - start));
        if (isFloat) {
            FTok = tFloat;
            FFloat = wcstod(num.c_str(), nullptr);
        } else {
            FTok = tInt;
            if (!TryStrToInt64(num, FInt)) Error(L"Number out of range: " + num);
        }
    }

    TObjectNode ParseObject() {
        if (!(IsIdent(L"object") || IsIdent(L"inherited") || IsIdent(L"inline"))) Error(L"'object' expected");
        TObjectNode node;
        node.Line = FTokLine;
        Next();
        if (FTok != tIdent) Error(L"Component name expected");
        node.Name = FTokText;
        Next();
        if (IsSymbol(L':')) {
            Next();
            if (FTok != tIdent) Error(L"Class name expected");
            node.Class = FTokText;
            Next();
        } else {
            node.Class = node.Name; // "object TClassName" without a component name
            node.Name.clear();
        }
        for (;;) {
            if (FTok == tEOF) Error(L"'end' expected");
            if (IsIdent(L"end")) {
                Next();
                break;
            }
            if (IsIdent(L"object") || IsIdent(L"inherited") || IsIdent(L"inline")) {
                // A property could carry one of these names; only "name =" makes it one.
                size_t savePos = FPos;
                int saveLine = FLine;
                TParser look = *this;
                look.Next();
                if (!look.IsSymbol(L'=')) {
                    node.Children.push_back(ParseObject());
                    continue;
                }
                FPos = savePos;
                FLine = saveLine;
            }
            node.Props.push_back(ParseProperty());
        }
        return node;
    }

    TPropNode ParseProperty() {
        if (FTok != tIdent) Error(L"Property name expected");
        TPropNode p;
        p.Name = FTokText;
        p.Line = FTokLine;
        Next();
        Expect(L'=');
        p.Value = ParseValue();
        return p;
    }

    TValueNode ParseValue() {
        TValueNode v;
        v.Line = FTokLine;
        switch (FTok) {
        case tString:
            ParseStringValue(v);
            return v;
        case tInt:
            v.Kind = TValueNode::vkInt;
            v.Int = FInt;
            break;
        case tFloat:
            v.Kind = TValueNode::vkFloat;
            v.Float = FFloat;
            break;
        case tIdent:
            v.Kind = TValueNode::vkIdent;
            v.Str = FTokText;
            break;
        case tSymbol:
            ParseBracketed(v);
            return v;
        case tEOF:
            Error(L"Property value expected");
        }
        Next();
        return v;
    }

    // 'a' + 'b' + ...
    void ParseStringValue(TValueNode& v) {
        v.Kind = TValueNode::vkString;
        v.Str = FTokText;
        Next();
        while (IsSymbol(L'+')) {
            Next();
            if (FTok != tString) Error(L"String expected");
            v.Str += FTokText;
            Next();
        }
    }

    // The values that open with a symbol: [set], (list), <collection>, {binary}.
    void ParseBracketed(TValueNode& v) {
        switch (FSym) {
        case L'[':
            return ParseSet(v);
        case L'(':
            return ParseList(v);
        case L'<':
            return ParseCollection(v);
        case L'{':
            return ParseBinary(v);
        default:
            Error(Format(L"Invalid property value '%s'", std::wstring(1, FSym)));
        }
    }

    void ParseSet(TValueNode& v) {
        v.Kind = TValueNode::vkSet;
        Next();
        while (!IsSymbol(L']')) {
            if (FTok != tIdent) Error(L"Set element expected");
            v.Set.push_back(FTokText);
            Next();
            if (IsSymbol(L',')) Next();
            else if (!IsSymbol(L']')) Error(L"']' expected");
        }
        Next();
    }

    void ParseList(TValueNode& v) {
        v.Kind = TValueNode::vkList;
        Next();
        while (!IsSymbol(L')')) {
            if (FTok == tEOF) Error(L"')' expected");
            v.List.push_back(ParseValue());
        }
        Next();
    }

    // < item Prop = Value ... end item ... end >
    void ParseCollection(TValueNode& v) {
        v.Kind = TValueNode::vkCollection;
        Next();
        while (!IsSymbol(L'>')) {
            if (!IsIdent(L"item")) Error(L"'item' expected");
            Next();
            std::vector<TPropNode> item;
            while (!IsIdent(L"end")) {
                if (FTok == tEOF) Error(L"'end' expected");
                item.push_back(ParseProperty());
            }
            Next();
            v.Items.push_back(std::move(item));
        }
        Next();
    }

    // Raw hexadecimal digits up to the closing brace, blanks and line breaks allowed: read from the
    // text itself, not as tokens.
    void ParseBinary(TValueNode& v) {
        v.Kind = TValueNode::vkBinary;
        int high = -1;
        for (;;) {
            if (!More()) Error(L"'}' expected");
            wchar_t c = FText[FPos++];
            if (c == L'}') break;
            if (c == L'\n') {
                ++FLine;
                continue;
            }
            if (c <= L' ') continue;
            int h = HexValue(c);
            if (h < 0) ReadError(FLine, L"Invalid binary value");
            if (high < 0) high = h;
            else {
                v.Bin.push_back(static_cast<uint8_t>(high * 16 + h));
                high = -1;
            }
        }
        if (high >= 0) ReadError(FLine, L"Invalid binary value");
        Next();
    }

    std::wstring_view FText;
    size_t FPos = 0;
    int FLine = 1;
    Tok FTok = tEOF;
    int FTokLine = 1;
    std::wstring FTokText;
    int64_t FInt = 0;
    double FFloat = 0;
    wchar_t FSym = 0;
};

// ---------------------------------------------------------------------------------------------
// Text output

std::wstring QuoteString(const std::wstring& s) {
    if (s.empty()) return L"''";
    std::wstring r;
    bool inQuote = false;
    for (wchar_t c : s) {
        if (c >= L' ' && c < 127) {
            if (!inQuote) {
                r += L'\'';
                inQuote = true;
            }
            if (c == L'\'') r += L'\'';
            r += c;
        } else {
            if (inQuote) {
                r += L'\'';
                inQuote = false;
            }
            r += L'#';
            r += std::to_wstring(static_cast<unsigned>(c));
        }
    }
    if (inQuote) r += L'\'';
    return r;
}

std::wstring FloatText(double v) {
    wchar_t buf[64];
    swprintf(buf, 64, L"%.17g", v);
    std::wstring s = buf;
    if (s.find_first_of(L".eEn") == std::wstring::npos) s += L".0";
    return s;
}

void WriteValueText(const TValueNode& v, const std::wstring& indent, std::wstring& out);

void WritePropsText(const std::vector<TPropNode>& props, const std::wstring& indent, std::wstring& out) {
    for (const auto& p : props) {
        out += indent + p.Name + L" = ";
        WriteValueText(p.Value, indent, out);
        out += L"\r\n";
    }
}

void WriteValueText(const TValueNode& v, const std::wstring& indent, std::wstring& out) {
    switch (v.Kind) {
    case TValueNode::vkInt:
        out += std::to_wstring(v.Int);
        break;
    case TValueNode::vkFloat:
        out += FloatText(v.Float);
        break;
    case TValueNode::vkString:
        out += QuoteString(v.Str);
        break;
    case TValueNode::vkIdent:
        out += v.Str;
        break;
    case TValueNode::vkSet:
        out += L"[";
        for (size_t i = 0; i < v.Set.size(); ++i) {
            if (i) out += L", ";
            out += v.Set[i];
        }
        out += L"]";
        break;
    case TValueNode::vkList:
        out += L"(";
        for (const auto& item : v.List) {
            out += L"\r\n" + indent + L"  ";
            WriteValueText(item, indent + L"  ", out);
        }
        out += L")";
        break;
    case TValueNode::vkCollection:
        out += L"<";
        for (const auto& item : v.Items) {
            out += L"\r\n" + indent + L"  item\r\n";
            WritePropsText(item, indent + L"    ", out);
            out += indent + L"  end";
        }
        out += L">";
        break;
    case TValueNode::vkBinary: {
        static const wchar_t hex[] = L"0123456789ABCDEF";
        out += L"{";
        for (size_t i = 0; i < v.Bin.size(); ++i) {
            if (i % 32 == 0) out += L"\r\n" + indent + L"  ";
            out += hex[v.Bin[i] >> 4];
            out += hex[v.Bin[i] & 15];
        }
        out += L"}";
        break;
    }
    case TValueNode::vkNone:
        out += L"''";
        break;
    }
}

void WriteObjectText(const TObjectNode& node, const std::wstring& indent, std::wstring& out) {
    out += indent + L"object " + node.Name + L": " + node.Class + L"\r\n";
    WritePropsText(node.Props, indent + L"  ", out);
    for (const auto& child : node.Children) WriteObjectText(child, indent + L"  ", out);
    out += indent + L"end\r\n";
}

// ---------------------------------------------------------------------------------------------
// Objects to nodes

std::wstring ComponentReference(TComponent* c, TComponent* root) {
    if (c == root || c->Owner() == root || !c->Owner()) return c->Name();
    return c->Owner()->Name() + L"." + c->Name();
}

class TWriteFiler : public TFiler {
public:
    TWriteFiler(TComponent* root, const std::wstring& prefix, std::vector<TPropNode>& out)
        : FPrefix(prefix), FOut(out) {
        FRoot = root;
    }
    void DefineProperty(const std::wstring& name, std::function<void(TReader&)>, std::function<void(TWriter&)> writeData,
                        bool hasData) override {
        if (!hasData || !writeData) return;
        TPropNode p;
        p.Name = FPrefix + name;
        TWriter w(p.Value);
        writeData(w);
        FOut.push_back(std::move(p));
    }
    void DefineBinaryProperty(const std::wstring& name, std::function<void(const std::vector<uint8_t>&)>,
                              std::function<std::vector<uint8_t>()> writeData, bool hasData) override {
        if (!hasData || !writeData) return;
        TPropNode p;
        p.Name = FPrefix + name;
        p.Value.Kind = TValueNode::vkBinary;
        p.Value.Bin = writeData();
        FOut.push_back(std::move(p));
    }

private:
    std::wstring FPrefix;
    std::vector<TPropNode>& FOut;
};

void CollectProps(TObject* obj, TComponent* root, const std::wstring& prefix, std::vector<TPropNode>& out);

void CollectPlain(TObject* obj, TComponent* root, const std::wstring& prefix, std::vector<TPropNode>& out) {
    for (const TPropInfo* p : obj->ClassInfo().Properties()) {
        if (p->Kind == TTypeKind::Method) continue;
        if (!p->IsStored(obj)) continue;
        TPropNode node;
        node.Name = prefix + p->Name;
        TValueNode& v = node.Value;
        switch (p->Kind) {
        case TTypeKind::Integer:
        case TTypeKind::Cardinal:
        case TTypeKind::Int64:
            v.Kind = TValueNode::vkInt;
            v.Int = p->GetOrd(obj);
            break;
        case TTypeKind::Boolean:
            v.Kind = TValueNode::vkIdent;
            v.Str = p->GetOrd(obj) ? L"True" : L"False";
            break;
        case TTypeKind::Enumeration:
            v.Kind = TValueNode::vkIdent;
            v.Str = p->Enum->Name(p->GetOrd(obj));
            break;
        case TTypeKind::Set: {
            v.Kind = TValueNode::vkSet;
            uint64_t bits = static_cast<uint64_t>(p->GetOrd(obj));
            for (int i = 0; i < 64 && i < p->Enum->Count(); ++i)
                if (bits & (uint64_t(1) << i)) v.Set.push_back(p->Enum->Name(i));
            break;
        }
        case TTypeKind::String:
            v.Kind = TValueNode::vkString;
            v.Str = p->GetStr(obj);
            break;
        case TTypeKind::Double:
            v.Kind = TValueNode::vkFloat;
            v.Float = p->GetFloat(obj);
            break;
        case TTypeKind::Component: {
            auto* c = dynamic_cast<TComponent*>(p->GetObj(obj));
            if (!c || c->Name().empty()) continue;
            v.Kind = TValueNode::vkIdent;
            v.Str = ComponentReference(c, root);
            break;
        }
        case TTypeKind::Class: {
            TObject* sub = p->GetObj(obj);
            if (auto* coll = dynamic_cast<TCollection*>(sub)) {
                if (coll->Count() == 0 && !p->StoredFn) continue;
                v.Kind = TValueNode::vkCollection;
                for (int i = 0; i < coll->Count(); ++i) {
                    std::vector<TPropNode> item;
                    CollectProps(coll->Items(i), root, L"", item);
                    v.Items.push_back(std::move(item));
                }
                break;
            }
            // A sub-object is written as its own properties behind a dotted prefix.
            CollectProps(sub, root, node.Name + L".", out);
            continue;
        }
        case TTypeKind::Method:
            continue;
        }
        out.push_back(std::move(node));
    }
}

void CollectEvents(TObject* obj, TComponent* root, const std::wstring& prefix, std::vector<TPropNode>& out) {
    for (const TPropInfo* p : obj->ClassInfo().Properties()) {
        if (p->Kind != TTypeKind::Method || !p->IsStored(obj)) continue;
        TRawMethod m = p->GetMethod(obj);
        // Only methods of the root have a name the stored form can carry.
        if (!root || m.Data != static_cast<TObject*>(root)) continue;
        const TMethodInfo* info = root->ClassInfo().FindMethodByCode(m.Code);
        if (!info) continue;
        TPropNode node;
        node.Name = prefix + p->Name;
        node.Value.Kind = TValueNode::vkIdent;
        node.Value.Str = info->Name;
        out.push_back(std::move(node));
    }
}

void CollectProps(TObject* obj, TComponent* root, const std::wstring& prefix, std::vector<TPropNode>& out) {
    if (!obj) return;
    CollectPlain(obj, root, prefix, out);
    if (auto* pers = dynamic_cast<TPersistent*>(obj)) {
        TWriteFiler filer(root, prefix, out);
        pers->DefineProperties(filer);
    }
    CollectEvents(obj, root, prefix, out);
}

TObjectNode ComponentNode(TComponent* c, TComponent* root) {
    TObjectNode node;
    node.Name = c->Name();
    node.Class = c->ClassName();
    c->SetState(csWriting);
    TScopeExit clear([c] { c->ClearState(csWriting); });
    CollectProps(c, root, L"", node.Props);
    // The root's components, each nested in the component it sits in (its parent), or in the
    // root when it has none there.
    for (TComponent* child : root->ComponentList()) {
        // Only classes that can be created by name come back from a stored form.
        if (!child->ClassInfo().ComponentFactory() || child->Name().empty()) continue;
        TComponent* parent = child->HasParent() ? child->GetParentComponent() : nullptr;
        bool nestedHere = parent == c || ((!parent || parent->Owner() != root) && c == root);
        if (child != c && nestedHere) node.Children.push_back(ComponentNode(child, root));
    }
    return node;
}

// ---------------------------------------------------------------------------------------------
// Nodes to objects

struct TFixup {
    TObject* Instance;
    const TPropInfo* Prop;
    std::wstring Name;
    int Line;
};

struct TReadContext {
    TComponent* Root = nullptr;
    std::vector<TComponent*> Loaded;
    std::vector<TFixup> Fixups;
};

class TReadFiler : public TFiler {
public:
    TReadFiler(TComponent* root, const std::wstring& name, const TValueNode& value)
        : FName(name), FValue(value) {
        FRoot = root;
    }
    void DefineProperty(const std::wstring& name, std::function<void(TReader&)> readData, std::function<void(TWriter&)>,
                        bool) override {
        if (FFound || !SameText(name, FName) || !readData) return;
        FFound = true;
        TReader r(FValue, FRoot);
        readData(r);
    }
    void DefineBinaryProperty(const std::wstring& name, std::function<void(const std::vector<uint8_t>&)> readData,
                              std::function<std::vector<uint8_t>()>, bool) override {
        if (FFound || !SameText(name, FName) || !readData) return;
        FFound = true;
        if (FValue.Kind != TValueNode::vkBinary) throw EReadError(L"Binary data expected");
        readData(FValue.Bin);
    }
    bool Found() const { return FFound; }

private:
    std::wstring FName;
    const TValueNode& FValue;
    bool FFound = false;
};

[[noreturn]] void InvalidValue(const TValueNode& v) {
    throw EReadError(L"Invalid property value (%s)", std::wstring(KindName(v.Kind)));
}

int64_t OrdinalValue(const TPropInfo& p, const TValueNode& v) {
    switch (p.Kind) {
    case TTypeKind::Integer:
        if (v.Kind != TValueNode::vkInt || v.Int < INT32_MIN || v.Int > static_cast<int64_t>(UINT32_MAX))
            InvalidValue(v);
        // $FFFFFFFF-style values name the 32-bit pattern.
        return static_cast<int32_t>(static_cast<uint32_t>(v.Int));
    case TTypeKind::Cardinal:
        if (v.Kind != TValueNode::vkInt || v.Int < INT32_MIN || v.Int > static_cast<int64_t>(UINT32_MAX))
            InvalidValue(v);
        return static_cast<uint32_t>(v.Int);
    case TTypeKind::Int64:
        if (v.Kind != TValueNode::vkInt) InvalidValue(v);
        return v.Int;
    case TTypeKind::Boolean:
        if (v.Kind == TValueNode::vkIdent && SameText(v.Str, L"True")) return 1;
        if (v.Kind == TValueNode::vkIdent && SameText(v.Str, L"False")) return 0;
        InvalidValue(v);
    case TTypeKind::Enumeration: {
        if (v.Kind != TValueNode::vkIdent) InvalidValue(v);
        int i = p.Enum->IndexOf(v.Str);
        if (i < 0) throw EReadError(L"Invalid property value '%s'", v.Str);
        return i;
    }
    case TTypeKind::Set: {
        if (v.Kind != TValueNode::vkSet) InvalidValue(v);
        uint64_t bits = 0;
        for (const auto& name : v.Set) {
            int i = p.Enum->IndexOf(name);
            if (i < 0 || i >= 64) throw EReadError(L"Invalid property value '%s'", name);
            bits |= uint64_t(1) << i;
        }
        return static_cast<int64_t>(bits);
    }
    default:
        InvalidValue(v);
    }
}

void ApplyProps(TObject* obj, const std::vector<TPropNode>& props, TReadContext& ctx);

void ApplyValue(TObject* target, const TPropInfo* p, const TPropNode& node, TReadContext& ctx) {
    const TValueNode& v = node.Value;
    switch (p->Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Cardinal:
    case TTypeKind::Int64:
    case TTypeKind::Boolean:
    case TTypeKind::Enumeration:
    case TTypeKind::Set:
        p->SetOrd(target, OrdinalValue(*p, v));
        return;
    case TTypeKind::String:
        if (v.Kind != TValueNode::vkString) InvalidValue(v);
        p->SetStr(target, v.Str);
        return;
    case TTypeKind::Double:
        if (v.Kind == TValueNode::vkFloat) p->SetFloat(target, v.Float);
        else if (v.Kind == TValueNode::vkInt) p->SetFloat(target, static_cast<double>(v.Int));
        else InvalidValue(v);
        return;
    case TTypeKind::Component:
        if (v.Kind != TValueNode::vkIdent) InvalidValue(v);
        ctx.Fixups.push_back({target, p, v.Str, node.Line});
        return;
    case TTypeKind::Class: {
        auto* coll = dynamic_cast<TCollection*>(p->GetObj(target));
        if (!coll || v.Kind != TValueNode::vkCollection) InvalidValue(v);
        coll->BeginUpdate();
        TScopeExit end([coll] { coll->EndUpdate(); });
        coll->Clear();
        for (const auto& item : v.Items) ApplyProps(coll->Add(), item, ctx);
        return;
    }
    case TTypeKind::Method: {
        if (v.Kind != TValueNode::vkIdent) InvalidValue(v);
        TComponent* root = ctx.Root;
        const TMethodInfo* m = root ? root->ClassInfo().FindMethod(v.Str) : nullptr;
        if (!m) throw EReadError(L"Method '%s' not found", v.Str);
        if (*m->Type != *p->MethodType) throw EReadError(L"Method '%s' does not fit the event", v.Str);
        p->SetMethod(target, TRawMethod{m->Code, static_cast<TObject*>(root)});
        return;
    }
    }
}

// Finds the object and the property a (dotted) stored name addresses; Prop is null for a name
// that only DefineProperties knows.
TObject* ResolveTarget(TObject* obj, const std::wstring& name, std::wstring& last) {
    size_t start = 0;
    for (;;) {
        size_t dot = name.find(L'.', start);
        if (dot == std::wstring::npos) {
            last = name.substr(start);
            return obj;
        }
        std::wstring segment = name.substr(start, dot - start);
        const TPropInfo* p = obj->ClassInfo().FindProperty(segment);
        if (!p || p->Kind != TTypeKind::Class || !p->GetObj(obj))
            throw EReadError(L"Property %s does not exist", name);
        obj = p->GetObj(obj);
        start = dot + 1;
    }
}

std::wstring ObjectTitle(TObject* obj) {
    if (auto* c = dynamic_cast<TComponent*>(obj); c && !c->Name().empty()) return c->Name();
    return obj->ClassName();
}

void ApplyOne(TObject* obj, const TPropNode& node, TReadContext& ctx, bool events) {
    try {
        std::wstring last;
        TObject* target = ResolveTarget(obj, node.Name, last);
        const TPropInfo* p = target->ClassInfo().FindProperty(last);
        if (p) {
            if ((p->Kind == TTypeKind::Method) != events) return;
            if (p->Kind == TTypeKind::Class && node.Value.Kind != TValueNode::vkCollection)
                throw EReadError(L"Invalid property value (%s)", std::wstring(KindName(node.Value.Kind)));
            ApplyValue(target, p, node, ctx);
            return;
        }
        if (events) return;
        auto* pers = dynamic_cast<TPersistent*>(target);
        TReadFiler filer(ctx.Root, last, node.Value);
        if (pers) pers->DefineProperties(filer);
        if (!filer.Found()) throw EReadError(L"Property %s does not exist", node.Name);
    } catch (const EReadError& e) {
        if (e.Message().rfind(L"Line ", 0) == 0) throw;
        ReadError(node.Line, Format(L"Error reading %s.%s: %s", ObjectTitle(obj), node.Name, e.Message()));
    } catch (const Exception& e) {
        ReadError(node.Line, Format(L"Error reading %s.%s: %s", ObjectTitle(obj), node.Name, e.Message()));
    }
}

void ApplyProps(TObject* obj, const std::vector<TPropNode>& props, TReadContext& ctx) {
    // Events come after the plain properties, whatever the order of the text.
    for (const auto& node : props) ApplyOne(obj, node, ctx, false);
    for (const auto& node : props) ApplyOne(obj, node, ctx, true);
}

void ReadChild(const TObjectNode& node, TComponent* parent, TReadContext& ctx) {
    TComponent* root = ctx.Root;
    TComponent* child = node.Name.empty() ? nullptr : root->FindComponent(node.Name);
    try {
        const TClassInfo* found = GetClassIn(node.Class, ModuleOfClass(root->ClassInfo()));
        if (!found) throw EClassNotFound(L"Class %s not found", node.Class);
        const TClassInfo& cls = *found;
        if (child && !child->InheritsFrom(cls)) throw EReadError(L"Component %s is not a %s", node.Name, node.Class);
        if (!child) {
            child = cls.CreateComponent(root);
            try {
                child->SetName(node.Name);
            } catch (...) {
                Free(child);
                throw;
            }
        }
    } catch (const Exception& e) {
        if (e.Message().rfind(L"Line ", 0) == 0) throw;
        ReadError(node.Line, e.Message());
    }
    child->SetState(csLoading);
    child->SetState(csReading);
    ctx.Loaded.push_back(child);
    if (const TFieldInfo* f = root->ClassInfo().FindField(node.Name)) f->Set(root, child);
    if (child->HasParent()) {
        try {
            child->SetParentComponent(parent);
        } catch (const Exception& e) {
            ReadError(node.Line, e.Message());
        }
    }
    ApplyProps(child, node.Props, ctx);
    for (const auto& grandChild : node.Children) ReadChild(grandChild, child, ctx);
}

void ResolveFixups(TReadContext& ctx) {
    TComponent* root = ctx.Root;
    for (const auto& f : ctx.Fixups) {
        TComponent* target = nullptr;
        size_t dot = f.Name.find(L'.');
        if (dot == std::wstring::npos) {
            target = SameText(f.Name, root->Name()) ? root : root->FindComponent(f.Name);
        } else {
            std::wstring ownerName = f.Name.substr(0, dot), name = f.Name.substr(dot + 1);
            TComponent* owner = SameText(ownerName, root->Name()) ? root : root->FindComponent(ownerName);
            if (owner) target = owner->FindComponent(name);
        }
        // A reference to a component outside this form stays unset.
        if (!target) continue;
        try {
            f.Prop->SetObj(f.Instance, target);
        } catch (const Exception& e) {
            ReadError(f.Line, Format(L"Error reading %s.%s: %s", ObjectTitle(f.Instance), f.Prop->Name, e.Message()));
        }
    }
}

void ReadRoot(TComponent* root, const TObjectNode& node) {
    TReadContext ctx;
    ctx.Root = root;
    ctx.Loaded.push_back(root);
    auto clearStates = [&ctx] {
        for (TComponent* c : ctx.Loaded) {
            c->ClearState(csReading);
            c->ClearState(csLoading);
        }
    };
    root->SetState(csLoading);
    root->SetState(csReading);
    try {
        if (!node.Name.empty() && node.Name != root->Name()) {
            // A second instance in the same owner gets a unique name, as the designer would.
            std::wstring name = node.Name;
            TComponent* owner = root->Owner();
            for (int n = 1; owner && owner->FindComponent(name) && owner->FindComponent(name) != root; ++n)
                name = node.Name + L"_" + std::to_wstring(n);
            try {
                root->SetName(name);
            } catch (const Exception& e) {
                ReadError(node.Line, e.Message());
            }
        }
        ApplyProps(root, node.Props, ctx);
        for (const auto& child : node.Children) ReadChild(child, root, ctx);
        ResolveFixups(ctx);
    } catch (...) {
        clearStates();
        throw;
    }
    for (TComponent* c : ctx.Loaded) c->ClearState(csReading);
    for (TComponent* c : ctx.Loaded) c->Loaded();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TReader / TWriter

TReader::TReader(const TValueNode& value, TComponent* root) : FValue(value), FRoot(root) {}

const TValueNode& TReader::Next() {
    if (!FStack.empty()) {
        Frame& f = FStack.back();
        if (f.Index >= f.List->List.size()) throw EReadError(L"Unexpected end of list");
        return f.List->List[f.Index++];
    }
    if (FTaken) throw EReadError(L"No more values");
    FTaken = true;
    return FValue;
}

std::wstring TReader::ReadString() {
    const TValueNode& v = Next();
    if (v.Kind != TValueNode::vkString) InvalidValue(v);
    return v.Str;
}

int64_t TReader::ReadInt64() {
    const TValueNode& v = Next();
    if (v.Kind != TValueNode::vkInt) InvalidValue(v);
    return v.Int;
}

int32_t TReader::ReadInteger() {
    int64_t v = ReadInt64();
    if (v < INT32_MIN || v > INT32_MAX) throw EReadError(L"Integer out of range");
    return static_cast<int32_t>(v);
}

bool TReader::ReadBoolean() {
    const TValueNode& v = Next();
    if (v.Kind == TValueNode::vkIdent && SameText(v.Str, L"True")) return true;
    if (v.Kind == TValueNode::vkIdent && SameText(v.Str, L"False")) return false;
    InvalidValue(v);
}

double TReader::ReadFloat() {
    const TValueNode& v = Next();
    if (v.Kind == TValueNode::vkFloat) return v.Float;
    if (v.Kind == TValueNode::vkInt) return static_cast<double>(v.Int);
    InvalidValue(v);
}

std::wstring TReader::ReadIdent() {
    const TValueNode& v = Next();
    if (v.Kind != TValueNode::vkIdent) InvalidValue(v);
    return v.Str;
}

void TReader::ReadListBegin() {
    const TValueNode& v = Next();
    if (v.Kind != TValueNode::vkList) InvalidValue(v);
    FStack.push_back({&v, 0});
}

bool TReader::EndOfList() {
    if (FStack.empty()) throw EReadError(L"Not inside a list");
    return FStack.back().Index >= FStack.back().List->List.size();
}

void TReader::ReadListEnd() {
    if (FStack.empty() || !EndOfList()) throw EReadError(L"End of list expected");
    FStack.pop_back();
}

TWriter::TWriter(TValueNode& target) : FTarget(target) {}

TValueNode& TWriter::Slot() {
    if (!FStack.empty()) {
        FStack.back()->List.emplace_back();
        return FStack.back()->List.back();
    }
    if (FWritten) throw EStreamError(L"A defined property holds one value");
    FWritten = true;
    return FTarget;
}

void TWriter::WriteString(const std::wstring& value) {
    TValueNode& v = Slot();
    v.Kind = TValueNode::vkString;
    v.Str = value;
}

void TWriter::WriteInteger(int64_t value) {
    TValueNode& v = Slot();
    v.Kind = TValueNode::vkInt;
    v.Int = value;
}

void TWriter::WriteBoolean(bool value) { WriteIdent(value ? L"True" : L"False"); }

void TWriter::WriteFloat(double value) {
    TValueNode& v = Slot();
    v.Kind = TValueNode::vkFloat;
    v.Float = value;
}

void TWriter::WriteIdent(const std::wstring& ident) {
    TValueNode& v = Slot();
    v.Kind = TValueNode::vkIdent;
    v.Str = ident;
}

void TWriter::WriteListBegin() {
    TValueNode& v = Slot();
    v.Kind = TValueNode::vkList;
    FStack.push_back(&v);
}

void TWriter::WriteListEnd() {
    if (FStack.empty()) throw EStreamError(L"Not inside a list");
    FStack.pop_back();
}

// ---------------------------------------------------------------------------------------------
// Entry points

std::wstring ComponentToText(TComponent* root) {
    std::wstring out;
    WriteObjectText(ComponentNode(root, root), L"", out);
    return out;
}

void ReadComponentFromText(TComponent* root, std::wstring_view text) {
    TParser parser(text);
    TObjectNode node = parser.ParseRoot();
    ReadRoot(root, node);
}

TComponent* CreateComponentFromText(std::wstring_view text, TComponent* owner) {
    TParser parser(text);
    TObjectNode node = parser.ParseRoot();
    const TClassInfo* cls = GetClass(node.Class);
    if (!cls) ReadError(node.Line, Format(L"Class %s not found", node.Class));
    TComponent* root = cls->CreateComponent(owner);
    try {
        ReadRoot(root, node);
    } catch (...) {
        Free(root);
        throw;
    }
    return root;
}

std::wstring DecodeFormText(const void* data, size_t size) {
    auto* b = static_cast<const unsigned char*>(data);
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(b + 2), (size - 2) / 2);
    if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) { b += 3; size -= 3; }
    return Utf8ToWide(std::string_view(reinterpret_cast<const char*>(b), size));
}

} // namespace tamrel
