#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Tool_ProjectInternal.h"

#include "host/ComObj.h"
#include "host/Handles.h"
#include "host/HostApplication.h"
#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/framework/IdeServices.h"
#include "ide/wizards/typelib/TypeLibraryFile.h"

#include <oleauto.h>

#include <atomic>

namespace tamrel {

const uint8_t AutoObjectLibraryId[40] = "\x26{00020430-0000-0000-C000-000000000046}";
const uint8_t RemoteDataModuleLibraryId[40] = "\x26{83F57D68-CA9A-11D2-9088-00C04FA35CFA}";

namespace {

std::atomic<DWORD> ImporterTimeout{60000};
TImporterHandles LastHandles;

const wchar_t WarningCaption[] = L"Tamrel";

// The active project, when the open project group has one.
TComPtr<IOTAProject> ActiveProject() {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    for (int32_t i = 0; modules && i < modules->GetModuleCount(); ++i)
        if (auto group = modules->GetModule(i).As<IOTAProjectGroup>()) return group->GetActiveProject();
    return {};
}

TComPtr<IOTASourceEditor> ProjectSourceEditor(const TComPtr<IOTAProject>& project) {
    if (!project) return {};
    for (int32_t i = 0; i < project->GetModuleFileCount(); ++i)
        if (auto editor = project->GetModuleFileEditor(i).As<IOTASourceEditor>()) return editor;
    return {};
}

// The tokenizer reads the 8-bit source byte by byte: its positions are byte offsets.
TPasString Widened(const std::string& source) {
    TPasString text(source.size(), 0);
    for (size_t i = 0; i < source.size(); ++i) text[i] = static_cast<TPasChar>(static_cast<uint8_t>(source[i]));
    return text;
}

bool SameIdent(const TPasString& token, const std::string& name) {
    if (token.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        TPasChar a = token[i], b = static_cast<uint8_t>(name[i]);
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b) return false;
    }
    return true;
}

// The position of the semicolon that ends the uses clause, or -1.
int32_t UsesClauseEnd(const TPasString& text) {
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    parser.NextID(tkUses);
    if (parser.Token().ID != tkUses) return -1;
    parser.NextID(tkSemiColon);
    return parser.Token().ID == tkSemiColon ? parser.Token().Position : -1;
}

[[noreturn]] void InvalidProjectSyntax() { throw Exception(L"Invalid syntax of project unit"); }

void Warn(const std::wstring& text) { ShowMessageBox(nullptr, text, WarningCaption, MB_OK | MB_ICONWARNING); }

// Whether the type library at Path holds a type named Name; every reference is released before
// this answers (a library kept alive would be handed out again, stale, by the next load).
bool TypeLibraryHolds(const std::wstring& path, const std::wstring& name) {
    TComPtr<ITypeLib> library;
    if (!LoadWholeTypeLibrary(path, library.Put())) return false;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TBStr typeName;
        TYPEKIND kind{};
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        if (FAILED(library->GetDocumentation(static_cast<INT>(i), typeName.Put(), nullptr, nullptr, nullptr))) continue;
        if (typeName.Get() && AnsiSameText(typeName.Get(), name)) return true;
    }
    return false;
}

// Writes the text as the whole content of the active project's source editor.
void SetProjectSource(const std::string& source) {
    auto content = ProjectSourceEditor(ActiveProject()).As<IOTAEditorContent>();
    if (!content) return;
    TComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) throw EOutOfResources(L"Out of memory");
    ULONG written = 0;
    stream->Write(source.data(), static_cast<ULONG>(source.size()), &written);
    content->SetContent(stream.Get());
}

} // namespace

void SetImporterTimeout(DWORD milliseconds) { ImporterTimeout = milliseconds; }
TImporterHandles LastImporterHandles() { return LastHandles; }

std::string ReadProjectSource() {
    TComPtr<IOTAEditorContent> content = ProjectSourceEditor(ActiveProject()).As<IOTAEditorContent>();
    if (!content) return {};
    TComPtr<IStream> stream = content->GetContent();
    if (!stream) return {};
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    // Exactly what each read gives, NUL bytes included, until a read gives nothing or fails.
    std::string source;
    char chunk[10];
    for (;;) {
        ULONG read = 0;
        if (FAILED(stream->Read(chunk, sizeof chunk, &read)) || read == 0) break;
        source.append(chunk, read);
    }
    return source;
}

std::wstring GetProjectFileName() {
    TComPtr<IOTAProject> project = ActiveProject();
    return project ? project->GetFileName() : std::wstring();
}

std::wstring RemoveBlanks(const std::wstring& text) {
    std::wstring result;
    for (wchar_t c : text)
        if (c != L' ' && c != L'\t') result += c;
    return result;
}

void SkipJunk(TqPasParser& parser) {
    do {
        parser.NextToken();
    } while (parser.Token().ID == tkAnsiComment || parser.Token().ID == tkBorComment || parser.Token().ID == tkCRLF ||
             parser.Token().ID == tkCRLFCo || parser.Token().ID == tkSpace);
}

bool AddTypeLibraryToSource(std::string& source, const std::string& programName) {
    const TPasString text = Widened(source);
    {
        TqPasParser comments;
        comments.SetOrigin(text.c_str());
        for (comments.NextID(tkBorComment); comments.Token().ID == tkBorComment; comments.NextID(tkBorComment)) {
            const std::wstring comment(comments.Token().Data.begin(), comments.Token().Data.end());
            if (AnsiSameText(RemoveBlanks(comment), L"{$R*.TLB}")) return false;
        }
    }
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    do {
        parser.NextToken();
    } while (parser.Token().ID != tkProgram && parser.Token().ID != tkLibrary && parser.Token().ID != tkNull);
    if (parser.Token().ID == tkNull) InvalidProjectSyntax();
    SkipJunk(parser);
    if (parser.Token().ID != tkIdentifier || !SameIdent(parser.Token().Data, programName)) InvalidProjectSyntax();
    SkipJunk(parser);
    if (parser.Token().ID != tkSemiColon) InvalidProjectSyntax();

    const int32_t end = UsesClauseEnd(text);
    if (end < 0) return true;
    // Both insertions go where the original text puts them: the later one first.
    source.insert(static_cast<size_t>(end) + 1, "\r\n\r\n{$R *.TLB}\r\n");
    source.insert(static_cast<size_t>(end), ",\r\n  " + programName + "_TLB in '" + programName + "_TLB.pas'");
    return true;
}

bool AddUnitToSourceUses(std::string& source, const std::string& line) {
    const int32_t end = UsesClauseEnd(Widened(source));
    if (end < 0) return false;
    source.insert(static_cast<size_t>(end), ",\r\n" + line);
    return true;
}

bool AddTypeLibraryToProject() {
    std::string source = ReadProjectSource();
    if (source.empty()) return false;
    const std::string name = WideToAnsi(ChangeFileExt(ExtractFileName(GetProjectFileName()), L""));
    if (!AddTypeLibraryToSource(source, name)) return false;
    SetProjectSource(source);
    return true;
}

void AddUnitToProjectUses(const std::wstring& line) {
    IToolServices* tools = ToolServices();
    if (!tools) return;
    const std::string source = ReadProjectSource();
    if (source.empty()) return;
    const int32_t end = UsesClauseEnd(Widened(source));
    if (end < 0) return;
    TComPtr<IOTAEditWriter> writer = tools->CreateEditWriter(GetProjectFileName());
    if (!writer) return;
    writer->CopyTo(end);
    writer->Insert((",\r\n" + WideToAnsi(line)).c_str());
}

void CloseFileInIde(const std::wstring& fileName) {
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    if (!modules) return;
    TComPtr<IOTAModule> module = modules->FindModule(fileName);
    if (!module) return;
    // A forced close drops the buffer: what the user changed goes to the file first.
    bool modified = false;
    for (int32_t i = 0; i < module->GetModuleFileCount(); ++i)
        if (auto editor = module->GetModuleFileEditor(i); editor && editor->GetModified()) modified = true;
    if (modified) module->Save(false, true);
    module->CloseModule(true);
}

void ReloadFileInIde(const std::wstring& fileName) {
    if (TComPtr<IOTAActionServices> actions = IdeService<IOTAActionServices>()) actions->ReloadFile(fileName);
}

bool AddObjectToTypeLibrary(const std::string& typeLibraryPath, const std::string& className, bool events,
                            bool globalEvents, const uint8_t* identifier) {
    const std::wstring path = AnsiToWide(typeLibraryPath);
    CloseFileInIde(path);
    DuplicateTypeLibraryAndAddNewObject(typeLibraryPath.c_str(), className.c_str(), events, globalEvents, identifier);
    ReloadFileInIde(path);
    if (TypeLibraryHolds(path, AnsiToWide(className))) return true;
    Warn(Format(L"The class \"%s\" could not be added to the type library \"%s\": nothing was added to the project.",
                AnsiToWide(className), path));
    return false;
}

std::wstring TypeLibraryNameTaken(const std::wstring& className, bool events) {
    const std::wstring projectFile = GetProjectFileName();
    if (projectFile.empty()) return {};
    const std::wstring path = ChangeFileExt(projectFile, L".tlb");
    TComPtr<ITypeLib> library;
    if (!LoadWholeTypeLibrary(path, library.Put())) return {};
    return TakenClassName(library.Get(), className, events);
}

std::wstring ImporterCommandLine(const std::wstring& programFolder, const std::wstring& projectFolder,
                                 const std::wstring& typeLibraryPath) {
    std::wstring program = IncludeTrailingPathDelimiter(programFolder) + L"tlibimp.exe";
    if (program.find(L' ') != std::wstring::npos) program = L"\"" + program + L"\"";
    return program + L" " + Format(L"-P \"-d%s\" \"%s\"", projectFolder, typeLibraryPath);
}

void RunTypeLibraryImporter(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    LastHandles = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &info)) {
        Warn(Format(L"The type library importer could not be started (%s): the Pascal unit of the type library was "
                    L"not generated.",
                    SysErrorMessage(GetLastError())));
        return;
    }
    LastHandles = {info.hProcess, info.hThread};
    TKernelHandle process(info.hProcess);
    TKernelHandle thread(info.hThread);
    const DWORD timeout = ImporterTimeout;
    if (WaitForSingleObject(process.Get(), timeout) != WAIT_OBJECT_0) {
        Warn(Format(L"The type library importer did not finish within %d seconds: the Pascal unit of the type library "
                    L"may be out of date.",
                    static_cast<int>(timeout / 1000)));
        return;
    }
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.Get(), &exitCode) && exitCode != 0)
        Warn(Format(L"The type library importer failed (exit code %u): the Pascal unit of the type library may be out "
                    L"of date.",
                    static_cast<unsigned>(exitCode)));
}

bool UpdateProjectTypeLibrary(const std::string& className, bool events, bool globalEvents,
                              const uint8_t* identifier) {
    if (!BorlandIDEServices()) return true;
    const std::wstring projectFile = GetProjectFileName();
    // Without a project there is nothing to give a type library.
    if (projectFile.empty()) return true;
    const std::wstring projectFolder = ExtractFilePath(projectFile);
    const std::wstring libraryFile = ChangeFileExt(projectFile, L".tlb");
    const std::string typeLibraryPath = WideToAnsi(libraryFile);
    const std::string source = ReadProjectSource();
    const bool libraryExisted = FileExists(libraryFile);
    const bool newLibrary = AddTypeLibraryToProject();
    if (newLibrary) CreateNewTypeLibrary(typeLibraryPath.c_str());
    if (!AddObjectToTypeLibrary(typeLibraryPath, className, events, globalEvents, identifier)) {
        // A project whose directive names a library that is missing or holds nothing of it does
        // not build: what this round added goes again.
        if (newLibrary) {
            SetProjectSource(source);
            if (!libraryExisted) DeleteFileW(libraryFile.c_str());
        }
        return false;
    }
    RunTypeLibraryImporter(
        ImporterCommandLine(ExtractFilePath(ParamStr(0)), projectFolder, AnsiToWide(typeLibraryPath)));
    if (HostApplication.Exists() && HostApplication->OnActivate()) HostApplication->OnActivate()(HostApplication.Get());
    return true;
}

} // namespace tamrel
