// Project tools: after a wizard has added a COM class to the environment's active project, these
// make sure the project carries its type library (the resource directive and the generated
// type-library unit in its uses clause), add the new object to the type library through the
// tools library tamreltools, run the environment's type-library importer over it and add unit
// lines to the project's uses clause.
//
// Project sources are 8-bit text in the system's ANSI code page; the tokenizer reads them widened
// byte by byte, so that its positions are byte offsets into the source.
#pragma once

#include "ide/wizards/qkPasParser.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The tools library (tamreltools64 / tamreltools): stdcall, undecorated.
extern "C" {
// Creates an empty type library named after the file.
__declspec(dllimport) void __stdcall CreateNewTypeLibrary(const char* typeLibraryPath);
// Adds the dual interface I<ClassName>, its events dispinterface when Events is set and the
// coclass to the type library. Identifier: a length byte, then the LIBID (in braces) of the
// library that holds the base interface of I<ClassName>.
__declspec(dllimport) void __stdcall DuplicateTypeLibraryAndAddNewObject(const char* typeLibraryPath,
                                                                         const char* className, uint8_t events,
                                                                         uint8_t globalEvents,
                                                                         const uint8_t* identifier);
// The tools' about box.
__declspec(dllimport) void __stdcall ShowAboutForm();
}

namespace tamrel {

// The identifier texts the wizards pass (length byte, LIBID, a closing zero): the base interface
// is IDispatch (stdole) or the remote data module's interface.
extern const uint8_t AutoObjectLibraryId[40];
extern const uint8_t RemoteDataModuleLibraryId[40];

// The active project's main source, or empty when there is no project group, active project or
// source editor.
std::string ReadProjectSource();
// The active project's file name, or empty.
std::wstring GetProjectFileName();
// The text without spaces and tabs.
std::wstring RemoveBlanks(const std::wstring& text);
// Scans at least once, past comments, line breaks and blanks (stops at tkNull).
void SkipJunk(TqPasParser& parser);

// The source with its type library added for the program ProgramName. Answers false (source
// unchanged) when the source holds the directive "{$R *.TLB}" already, blanks and case aside.
// Otherwise answers true: the directive after the uses clause and the unit <Name>_TLB as its
// last entry, or nothing when the source has no uses clause. Raises "Invalid syntax of project
// unit" when the header is not "program" or "library", the given name and a semicolon.
bool AddTypeLibraryToSource(std::string& source, const std::string& programName);
// The source with ",\r\n" + Line inserted before the semicolon that ends its uses clause; false
// (source unchanged) without one.
bool AddUnitToSourceUses(std::string& source, const std::string& line);

// AddTypeLibraryToSource over the active project, written back as its whole text; false for an
// empty source or a source that has the directive already.
bool AddTypeLibraryToProject();
// AddUnitToSourceUses over the active project, written through the older tool services (nothing
// without them).
void AddUnitToProjectUses(const std::wstring& line);

// Closes the open module of that file without asking (its changes are saved first, so that the
// tools read what the user sees).
void CloseFileInIde(const std::wstring& fileName);
// Asks the environment to read the file again.
void ReloadFileInIde(const std::wstring& fileName);
// Closes the file, has the tools library add the class, gives the file back; answers whether
// the class is in the library afterwards, and warns when it is not.
bool AddObjectToTypeLibrary(const std::string& typeLibraryPath, const std::string& className, bool events,
                            bool globalEvents, const uint8_t* identifier);
// The whole round for one new class: directive and unit, a new library when the project had
// none, the class, the importer, and the host application's activation handler. Answers false
// when the class could not be added: the project's source and files are then as they were (a
// library the round made is removed again), and the caller adds nothing for the class. Without
// the environment or a project there is no round, and the answer is true.
bool UpdateProjectTypeLibrary(const std::string& className, bool events, bool globalEvents,
                              const uint8_t* identifier);
// Of the names a new class gives the active project's type library (the class, I<Class>, and
// I<Class>Events with events), the first that the library holds already, ignoring case as the
// library does (the tools library refuses such a class); empty when none is, or when there is
// no project or no readable library.
std::wstring TypeLibraryNameTaken(const std::wstring& className, bool events);

// The importer's command line for a host program folder, a project folder and a type library.
std::wstring ImporterCommandLine(const std::wstring& programFolder, const std::wstring& projectFolder,
                                 const std::wstring& typeLibraryPath);
// Runs the importer hidden and waits for it (at most 60 s); a start failure, a time-out or a
// non-zero exit code shows a warning box and the caller goes on.
void RunTypeLibraryImporter(const std::wstring& commandLine);

} // namespace tamrel
