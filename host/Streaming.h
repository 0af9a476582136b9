// The text form of stored components:
//
//   object Service1: TMyService
//     AllowPause = False
//     DisplayName = 'My service'#13#10'second line'
//     DependsOnServices.Strings = (
//       'RpcSs')
//     FailureActions = <
//       item
//         ActionType = faRestart
//       end>
//     StartedByScm = '45F438C3-40E29052'
//     OnStart = Service1Start
//     object Timer1: TrkTimer
//       Interval = 500
//     end
//   end
//
// One "Property = value" per line; strings in single quotes with #nnn for other characters;
// sets in [ ]; string lists in ( ); collections in < item ... end >; binary data in { hex };
// events by the name of a published method of the root; references by component name.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"

#include <string>
#include <string_view>
#include <vector>

namespace tamrel {

struct TValueNode;

// What DefineProperties read callbacks see: the value stored under the defined name.
class TAMREL_API TReader {
public:
    TReader(const TValueNode& value, TComponent* root);
    std::wstring ReadString();
    int32_t ReadInteger();
    int64_t ReadInt64();
    bool ReadBoolean();
    double ReadFloat();
    std::wstring ReadIdent();
    void ReadListBegin();
    bool EndOfList();
    void ReadListEnd();
    TComponent* Root() const { return FRoot; }

private:
    const TValueNode& Next();
    struct Frame {
        const TValueNode* List;
        size_t Index;
    };
    const TValueNode& FValue;
    bool FTaken = false;
    std::vector<Frame> FStack;
    TComponent* FRoot;
};

// What DefineProperties write callbacks use.
class TAMREL_API TWriter {
public:
    explicit TWriter(TValueNode& target);
    void WriteString(const std::wstring& value);
    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(double value);
    void WriteIdent(const std::wstring& ident);
    void WriteListBegin();
    void WriteListEnd();

private:
    TValueNode& Slot();
    TValueNode& FTarget;
    bool FWritten = false;
    std::vector<TValueNode*> FStack;
};

// The text of a root component: its properties and the components it owns.
TAMREL_API std::wstring ComponentToText(TComponent* root);
// Reads a stored form into an existing root: sets csLoading while reading, renames the root to
// the stored name, assigns properties in stream order (events after the plain ones), creates the
// owned components the form names (or fills those that exist already), resolves references,
// then calls Loaded on every component read. Bad data raises EReadError with the line.
TAMREL_API void ReadComponentFromText(TComponent* root, std::wstring_view text);
// Creates the root by its stored class name, with the given owner, and reads it.
TAMREL_API TComponent* CreateComponentFromText(std::wstring_view text, TComponent* owner);
// The text of a stored form resource: UTF-8 (with or without a byte-order mark) or UTF-16.
TAMREL_API std::wstring DecodeFormText(const void* data, size_t size);

} // namespace tamrel
