// Source editors over a module's 8-bit buffer: reader, undoable writer, the whole content.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/SysUtils.h"

#include <algorithm>
#include <cstring>

namespace tamrel {

namespace {

void RecordEditor(const THostLink& link, const wchar_t* call, std::initializer_list<TIdeField> fields,
                  const wchar_t* result = L"ok") {
    if (TIdeHostImpl* host = *link) host->Record(L"editor", call, fields, result);
}

class TIdeEditReader : public TInterfaced<IOTAEditReader> {
public:
    TIdeEditReader(THostLink link, std::shared_ptr<TSourceBuffer> buffer, std::wstring file)
        : FLink(std::move(link)), FBuffer(std::move(buffer)), FFile(std::move(file)) {}

    int32_t GetText(int32_t position, char* buffer, int32_t count) override {
        const std::string& text = FBuffer->Text;
        int32_t n = 0;
        if (buffer && position >= 0 && count > 0 && static_cast<size_t>(position) < text.size()) {
            n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(count), text.size() - static_cast<size_t>(position)));
            std::memcpy(buffer, text.data() + position, static_cast<size_t>(n));
        }
        RecordEditor(FLink, L"read",
                     {TextField(L"file", FFile), NumField(L"position", position), NumField(L"count", count),
                      NumField(L"answer", n)});
        return n;
    }

private:
    THostLink FLink;
    std::shared_ptr<TSourceBuffer> FBuffer;
    std::wstring FFile;
};

// Rewrites the buffer from the text it had when the writer was made; the new text replaces the
// buffer (one undo step) when the last reference goes.
class TIdeEditWriter : public TInterfaced<IOTAEditWriter> {
public:
    TIdeEditWriter(THostLink link, std::shared_ptr<TSourceBuffer> buffer, std::wstring file)
        : FLink(std::move(link)), FBuffer(std::move(buffer)), FFile(std::move(file)), FOld(FBuffer->Text) {
        FBuffer->WriterOpen = true;
    }
    ~TIdeEditWriter() override {
        FNew.append(FOld, FPos);
        FBuffer->WriterOpen = false;
        const bool changed = FBuffer->Replace(std::move(FNew));
        RecordEditor(FLink, L"commit",
                     {TextField(L"file", FFile), NumField(L"bytes", static_cast<int64_t>(FBuffer->Text.size())),
                      NumField(L"changed", changed), NumField(L"undo", static_cast<int64_t>(FBuffer->UndoSteps.size()))});
    }

    void CopyTo(int32_t position) override {
        const size_t to = Forward(L"CopyTo", position);
        FNew.append(FOld, FPos, to - FPos);
        FPos = to;
    }
    void DeleteTo(int32_t position) override { FPos = Forward(L"DeleteTo", position); }
    void Insert(const char* text) override {
        const std::string piece = text ? text : "";
        FNew += piece;
        RecordEditor(FLink, L"Insert", {TextField(L"file", FFile), TextField(L"text", AnsiToWide(piece))});
    }
    int32_t GetCurrentPos() override { return static_cast<int32_t>(FPos); }

private:
    // A position at or after the current one, clamped to the old text; going back raises.
    size_t Forward(const wchar_t* call, int32_t position) {
        if (position < 0 || static_cast<size_t>(position) < FPos) {
            RecordEditor(FLink, call, {TextField(L"file", FFile), NumField(L"position", position), NumField(L"current", static_cast<int64_t>(FPos))},
                         L"refused");
            throw EInvalidOperation(L"The edit writer cannot go back from position %d to %d", static_cast<int64_t>(FPos),
                                    position);
        }
        RecordEditor(FLink, call, {TextField(L"file", FFile), NumField(L"position", position)});
        return std::min(static_cast<size_t>(position), FOld.size());
    }

    THostLink FLink;
    std::shared_ptr<TSourceBuffer> FBuffer;
    std::wstring FFile;
    const std::string FOld;
    std::string FNew;
    size_t FPos = 0;
};

class TIdeSourceEditor : public TInterfaced<IOTASourceEditor, IOTAEditorContent> {
public:
    explicit TIdeSourceEditor(TIdeModuleState& module)
        : FModule(module.Module()), FLink(module.Link()), FBuffer(module.Source), FFile(module.FileName) {}

    std::wstring GetFileName() override { return FFile; }
    TComPtr<IOTAModule> GetModule() override { return FModule; }
    bool GetModified() override { return FBuffer->Modified; }

    TComPtr<IOTAEditReader> CreateReader() override {
        RecordEditor(FLink, L"CreateReader", {TextField(L"file", FFile)});
        return MakeInterfaced<TIdeEditReader, IOTAEditReader>(FLink, FBuffer, FFile);
    }
    TComPtr<IOTAEditWriter> CreateUndoableWriter() override { return NewEditWriter(FLink, FBuffer, FFile); }

    TComPtr<IStream> GetContent() override {
        TComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) throw EOutOfResources(L"Out of memory");
        ULONG written = 0;
        stream->Write(FBuffer->Text.data(), static_cast<ULONG>(FBuffer->Text.size()), &written);
        stream->Seek({}, STREAM_SEEK_SET, nullptr);
        RecordEditor(FLink, L"GetContent", {TextField(L"file", FFile), NumField(L"bytes", written)});
        return stream;
    }
    void SetContent(IStream* content) override {
        if (FBuffer->WriterOpen) {
            RecordEditor(FLink, L"SetContent", {TextField(L"file", FFile), TextField(L"reason", L"a writer is open")}, L"refused");
            throw EInvalidOperation(L"The buffer of %s has an edit writer open", FFile);
        }
        std::string text;
        if (content) {
            content->Seek({}, STREAM_SEEK_SET, nullptr);
            char chunk[4096];
            ULONG n = 0;
            while (SUCCEEDED(content->Read(chunk, sizeof chunk, &n)) && n > 0) text.append(chunk, n);
        }
        const bool changed = FBuffer->Replace(std::move(text));
        RecordEditor(FLink, L"SetContent",
                     {TextField(L"file", FFile), NumField(L"bytes", static_cast<int64_t>(FBuffer->Text.size())),
                      NumField(L"changed", changed)});
    }

private:
    TComPtr<IOTAModule> FModule;
    THostLink FLink;
    std::shared_ptr<TSourceBuffer> FBuffer;
    std::wstring FFile;
};

} // namespace

TComPtr<IOTAEditWriter> NewEditWriter(const THostLink& host, std::shared_ptr<TSourceBuffer> buffer,
                                      const std::wstring& fileName) {
    if (buffer->WriterOpen) {
        RecordEditor(host, L"CreateUndoableWriter", {TextField(L"file", fileName), TextField(L"reason", L"a writer is open")},
                     L"refused");
        throw EInvalidOperation(L"The buffer of %s has an edit writer open already", fileName);
    }
    RecordEditor(host, L"CreateUndoableWriter", {TextField(L"file", fileName)});
    return MakeInterfaced<TIdeEditWriter, IOTAEditWriter>(host, std::move(buffer), fileName);
}

TComPtr<IOTAEditor> NewSourceEditor(TIdeModuleState& module) {
    return MakeInterfaced<TIdeSourceEditor, IOTASourceEditor>(module);
}

} // namespace tamrel
