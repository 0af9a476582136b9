#include "tests/ide/msgtable/model/MsgTableTestSupport.h"

#include "tests/support/TestSupport.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace tamrel::evlog::test {

std::wstring FixturePath(const std::wstring& name) { return tamrel::test::BinDir() + L"msgtable\\" + name; }

std::wstring OutPath(const std::wstring& name) {
    const std::wstring dir = tamrel::test::BinDir() + L"msgtable\\out\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + name;
}

ByteVector ReadBytes(const std::wstring& path) {
    const std::string bytes = tamrel::test::ReadFileBytes(path);
    return ByteVector(bytes.begin(), bytes.end());
}

void WriteBytes(const std::wstring& path, const ByteVector& bytes) {
    tamrel::test::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
}

std::wstring FailureText(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return L"<no exception>";
}

ByteVector Saved(const std::function<void(const TEvLogSetDataProc&)>& save) {
    ByteVector bytes;
    save([&](const void* data, int32_t size) {
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    });
    return bytes;
}

std::wstring SystemMessage(HMODULE module, DWORD id, WORD language) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                   module, id, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = n ? std::wstring(text, n) : L"<FormatMessageW failed: " + std::to_wstring(GetLastError()) + L">";
    LocalFree(text);
    return result;
}

std::wstring SystemFormat(const std::wstring& text) {
    wchar_t* out = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                   text.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&out), 0, nullptr);
    std::wstring result(out ? out : L"", n);
    LocalFree(out);
    return result;
}

namespace {

std::vector<uint8_t> VersionBlock(const std::wstring& file) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::vector<uint8_t> block(size);
    if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) block.clear();
    return block;
}

} // namespace

std::wstring SystemVersionText(const std::wstring& file, const std::wstring& subBlock) {
    std::vector<uint8_t> block = VersionBlock(file);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (block.empty() || !VerQueryValueW(block.data(), subBlock.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"<none>";
    return std::wstring(value, length && value[length - 1] == 0 ? length - 1 : length);
}

void SystemVersionNumbers(const std::wstring& file, DWORD& fileVersionMS, DWORD& fileVersionLS, DWORD& translation) {
    fileVersionMS = fileVersionLS = translation = 0;
    std::vector<uint8_t> block = VersionBlock(file);
    if (block.empty()) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        fileVersionMS = fixed->dwFileVersionMS;
        fileVersionLS = fixed->dwFileVersionLS;
    }
    DWORD* translations = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) &&
        length >= 4)
        translation = translations[0];
}

// ---------------------------------------------------------------------------------------------
// llvm-readobj dumps

namespace {

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r[");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// "MESSAGETABLE (ID 11)" -> "11", "(ID 1)" -> "1", "EVLOG_NAMES" -> "EVLOG_NAMES".
std::string DumpedId(std::string text) {
    text = Trimmed(text);
    const size_t id = text.find("(ID ");
    if (id != std::string::npos) return text.substr(id + 4, text.find(')', id) - id - 4);
    return text;
}

std::string Hex(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(digits[data[i] >> 4]);
        hex.push_back(digits[data[i] & 15]);
    }
    return hex;
}

std::string IdText(const TResIdText& id) {
    return id.IsString() ? tamrel::test::ToUtf8(id.Text()) : std::to_string(id.ID());
}

} // namespace

std::string Leaf(const TResIdText& type, const TResIdText& name, uint32_t language, const uint8_t* data, size_t size) {
    return IdText(type) + "|" + IdText(name) + "|" + std::to_string(language) + "|" + Hex(data, size);
}

std::multiset<std::string> ReadobjLeaves(const std::wstring& dumpFile) {
    std::multiset<std::string> leaves;
    std::istringstream in(tamrel::test::ReadFileBytes(dumpFile));
    std::string line, type, name, language, hex;
    bool inData = false;
    auto after = [](const std::string& t, const std::string& prefix) { return t.substr(prefix.size()); };
    while (std::getline(in, line)) {
        const std::string t = Trimmed(line);
        if (inData) {
            if (t == ")") {
                leaves.insert(type + "|" + name + "|" + language + "|" + hex);
                inData = false;
                continue;
            }
            std::istringstream tokens(t.substr(t.find(':') + 1));
            std::string token;
            while (tokens >> token && token[0] != '|') hex += token;
        } else if (t.rfind("Resource type (", 0) == 0) {
            type = DumpedId(t.substr(t.find("): ") + 3));
        } else if (t.rfind("Resource name (", 0) == 0) {
            name = DumpedId(t.substr(t.find("): ") + 3));
        } else if (t.rfind("Language ID: ", 0) == 0) {
            language = after(t, "Language ID: ");
        } else if (t.rfind("Type: ", 0) == 0) {
            type = DumpedId(after(t, "Type: "));
        } else if (t.rfind("Name: ", 0) == 0) {
            name = DumpedId(after(t, "Name: "));
        } else if (t.rfind("Language: ", 0) == 0) {
            language = DumpedId(after(t, "Language: "));
        } else if (t == "Data: (" || t == "Data (") {
            inData = true;
            hex.clear();
        }
    }
    return leaves;
}

std::multiset<std::string> TreeLeaves(TPEResourceDirectory& root) {
    std::multiset<std::string> leaves;
    for (int t = 0; t < root.Count(); ++t) {
        auto* type = dynamic_cast<TPEResourceDirectory*>(root.Items(t));
        for (int n = 0; type && n < type->Count(); ++n) {
            auto* name = dynamic_cast<TPEResourceDirectory*>(type->Items(n));
            for (int l = 0; name && l < name->Count(); ++l) {
                auto* data = dynamic_cast<TPEResourceData*>(name->Items(l));
                if (data)
                    leaves.insert(Leaf(type->IdName(), name->IdName(), data->IdName().ID(), data->Data(), data->DataSize()));
            }
        }
    }
    return leaves;
}

// ---------------------------------------------------------------------------------------------
// windres -O rc

namespace {

std::wstring UnescapeDumpText(const std::string& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(static_cast<unsigned char>(s[i]));
            continue;
        }
        const char c = s[++i];
        switch (c) {
        case 'n': out.push_back(L'\n'); break;
        case 'r': out.push_back(L'\r'); break;
        case 't': out.push_back(L'\t'); break;
        case 'x':
            out.push_back(static_cast<wchar_t>(std::stoul(s.substr(i + 1, 4), nullptr, 16)));
            i += 4;
            break;
        default:
            if (c >= '0' && c <= '7') {
                out.push_back(static_cast<wchar_t>(std::stoul(s.substr(i, 3), nullptr, 8)));
                i += 2;
            } else {
                out.push_back(static_cast<unsigned char>(c));
            }
        }
    }
    while (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

} // namespace

std::set<TDumpedMessage> WindresMessages(const std::wstring& rcFile) {
    std::set<TDumpedMessage> messages;
    std::istringstream in(tamrel::test::ReadFileBytes(rcFile));
    std::string line;
    uint16_t language = 0;
    while (std::getline(in, line)) {
        const std::string t = Trimmed(line);
        unsigned primary = 0, sub = 0;
        if (std::sscanf(t.c_str(), "LANGUAGE %u, %u", &primary, &sub) == 2) {
            language = static_cast<uint16_t>(MAKELANGID(primary, sub));
        } else if (t.rfind("MessageId = ", 0) == 0) {
            const uint32_t id = static_cast<uint32_t>(std::stoul(t.substr(12), nullptr, 16));
            std::getline(in, line);
            messages.insert({language, id, UnescapeDumpText(Trimmed(line))});
        }
    }
    return messages;
}

// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TRecordingView::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IidOf<IEvLogDocumentView>()) {
        *ppv = static_cast<IEvLogDocumentView*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

namespace {

// The names of the files (or folders) directly in a folder.
std::vector<std::wstring> Entries(const std::wstring& folder, bool folders) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders && name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

void RemoveFolder(const std::wstring& folder, int depth) {
    for (const std::wstring& name : Entries(folder, false)) DeleteFileW((folder + name).c_str());
    if (depth > 0)
        for (const std::wstring& name : Entries(folder, true)) RemoveFolder(folder + name + L"\\", depth - 1);
    RemoveDirectoryW(folder.c_str());
}

} // namespace

TTempFolder::TTempFolder(const std::wstring& prefix) : Path(tamrel::test::TempFileName(prefix) + L"\\") {
    CreateDirectoryW(Path.c_str(), nullptr);
}

TTempFolder::~TTempFolder() { RemoveFolder(Path, 1); }

size_t TTempFolder::FileCount() const { return Entries(Path, false).size(); }

} // namespace tamrel::evlog::test
