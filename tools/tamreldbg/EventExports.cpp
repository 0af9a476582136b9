// The debug-event exports: each event becomes one "event" record of the log, with the time it
// arrived.
#include "StatusLog.h"
#include "Text.h"
#include "runtime/service/Tamrel_DebugInterface.h"

#include <type_traits>

namespace tamreldbg {

namespace {

using tamrel::TDebugEventData;
using tamrel::TDebugEventKind;

std::string KindText(int kind) {
    switch (kind) {
    case tamrel::dekInfo:
        return "info";
    case tamrel::dekWarning:
        return "warning";
    case tamrel::dekError:
        return "error";
    default:
        return Dec(static_cast<unsigned>(kind));
    }
}

struct TVarTypeName {
    VARTYPE Type;
    const char* Name;
};

constexpr TVarTypeName VarTypeNames[] = {
    {VT_EMPTY, "EMPTY"}, {VT_NULL, "NULL"},   {VT_I2, "I2"},        {VT_I4, "I4"},           {VT_R4, "R4"},
    {VT_R8, "R8"},       {VT_CY, "CY"},       {VT_DATE, "DATE"},    {VT_BSTR, "BSTR"},       {VT_DISPATCH, "DISPATCH"},
    {VT_ERROR, "ERROR"}, {VT_BOOL, "BOOL"},   {VT_UNKNOWN, "UNKNOWN"}, {VT_DECIMAL, "DECIMAL"}, {VT_I1, "I1"},
    {VT_UI1, "UI1"},     {VT_UI2, "UI2"},     {VT_UI4, "UI4"},      {VT_I8, "I8"},           {VT_UI8, "UI8"},
    {VT_INT, "INT"},     {VT_UINT, "UINT"},
};

std::string VarTypeText(VARTYPE vt) {
    for (const TVarTypeName& n : VarTypeNames)
        if (n.Type == vt) return n.Name;
    return Hex(vt);
}

// TYPE:TEXT (BSTR text quoted), EMPTY or NULL. The caller keeps ownership of the value: it is
// read, never cleared.
std::string ValueText(const VARIANT& value) {
    const std::string name = VarTypeText(value.vt);
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) return name;
    VARIANT text;
    VariantInit(&text);
    VARIANT source = value; // a shallow copy: VariantChangeTypeEx only reads it
    std::string result = name + ":?";
    if (SUCCEEDED(VariantChangeTypeEx(&text, &source, LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR))) {
        std::wstring_view s(text.bstrVal, SysStringLen(text.bstrVal));
        result = name + ":" + (value.vt == VT_BSTR ? Quote(s) : Utf8(s));
    }
    VariantClear(&text);
    return result;
}

void Event(const std::string& fields) {
    LogLine("event " + fields + " time=" + NowText());
}

std::string TextFields(const char* form, const std::string& text, TDebugEventData data) {
    return std::string("form=") + form + " text=" + text + " data=" + Dec(data);
}

} // namespace

} // namespace tamreldbg

using namespace tamreldbg;
using tamrel::TDebugEventData;
using tamrel::TDebugEventKind;

extern "C" {

void WINAPI SendCheckpoint(const char* Text, TDebugEventData Data) {
    Event("send=checkpoint " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendCheckpointW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=checkpoint " + TextFields("W", QuoteW(Text), Data));
}

void WINAPI SendClearToCheckpoint() {
    Event("send=clear-to-checkpoint");
}

void WINAPI SendClearAll() {
    Event("send=clear-all");
}

void WINAPI SendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data) {
    Event("send=value form=A kind=" + KindText(Kind) + " text=" + QuoteA(Text) + " value=" + ValueText(Value) +
          " data=" + Dec(Data));
}

void WINAPI SendValueW(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data) {
    Event("send=value form=W kind=" + KindText(Kind) + " text=" + QuoteW(Text) + " value=" + ValueText(Value) +
          " data=" + Dec(Data));
}

void WINAPI SendMethodEnter(const char* Text, TDebugEventData Data) {
    Event("send=method-enter " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendMethodEnterW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=method-enter " + TextFields("W", QuoteW(Text), Data));
}

void WINAPI SendMethodLeave(const char* Text, TDebugEventData Data) {
    Event("send=method-leave " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendMethodLeaveW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=method-leave " + TextFields("W", QuoteW(Text), Data));
}

// Exported as SendMessage and SendMessageW (tamreldbg.def): <winuser.h> owns those names.
void WINAPI TamrelDbgSendMessageA(TDebugEventKind Kind, const char* Text, TDebugEventData Data) {
    Event("send=message form=A kind=" + KindText(Kind) + " text=" + QuoteA(Text) + " data=" + Dec(Data));
}

void WINAPI TamrelDbgSendMessageW(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data) {
    Event("send=message form=W kind=" + KindText(Kind) + " text=" + QuoteW(Text) + " data=" + Dec(Data));
}

} // extern "C"

static_assert(std::is_same_v<decltype(&SendCheckpoint), tamrel::TSendTextA>);
static_assert(std::is_same_v<decltype(&SendCheckpointW), tamrel::TSendTextW>);
static_assert(std::is_same_v<decltype(&SendClearToCheckpoint), tamrel::TSendPlain>);
static_assert(std::is_same_v<decltype(&SendClearAll), tamrel::TSendPlain>);
static_assert(std::is_same_v<decltype(&SendValue), tamrel::TSendValueA>);
static_assert(std::is_same_v<decltype(&SendValueW), tamrel::TSendValueW>);
static_assert(std::is_same_v<decltype(&SendMethodEnter), tamrel::TSendTextA>);
static_assert(std::is_same_v<decltype(&SendMethodEnterW), tamrel::TSendTextW>);
static_assert(std::is_same_v<decltype(&SendMethodLeave), tamrel::TSendTextA>);
static_assert(std::is_same_v<decltype(&SendMethodLeaveW), tamrel::TSendTextW>);
static_assert(std::is_same_v<decltype(&TamrelDbgSendMessageA), tamrel::TSendMessageA>);
static_assert(std::is_same_v<decltype(&TamrelDbgSendMessageW), tamrel::TSendMessageW>);
