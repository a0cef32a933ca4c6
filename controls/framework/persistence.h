// The byte-level side of persistence: readers and writers of the stream layout both control
// libraries share (little-endian fixed-size values, ANSI strings with a 32-bit byte count,
// objects through the system's object-to-stream service), and the property table a control
// hands to the framework so that one piece of code loads and saves it through bags and streams.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace framework {

// The stream header: magic, version, header size.
const DWORD kStreamMagic = 0x12345678;
const DWORD kStreamVersion = 1;
const DWORD kStreamHeaderSize = 12;
// A string longer than this in a stream is taken for damage rather than data.
const DWORD kLongestStreamText = 1 << 20;

class StreamWriter {
public:
    explicit StreamWriter(IStream* stream) : stream_(stream) {}
    HRESULT bytes(const void* data, ULONG size);
    HRESULT i16(short value) { return bytes(&value, 2); }
    HRESULT i32(LONG value) { return bytes(&value, 4); }
    HRESULT f64(double value) { return bytes(&value, 8); }
    HRESULT text(const std::string& value);
    // The object's class id and its own saved form; a null object is written as the null class id.
    HRESULT object(IUnknown* value);

private:
    IStream* stream_;
};

class StreamReader {
public:
    explicit StreamReader(IStream* stream) : stream_(stream) {}
    // A short read is damage: E_UNEXPECTED. A failing stream gives its own error.
    HRESULT bytes(void* data, ULONG size);
    HRESULT i16(short& value) { return bytes(&value, 2); }
    HRESULT i32(LONG& value) { return bytes(&value, 4); }
    HRESULT f64(double& value) { return bytes(&value, 8); }
    HRESULT text(std::string& value);
    // Reads an object saved by StreamWriter::object. Only the class `expected` is accepted (a
    // stream must not make the control create an arbitrary class); the null class id gives null.
    HRESULT object(const CLSID& expected, REFIID iid, void** value);

private:
    IStream* stream_;
};

enum class FieldKind {
    Short, // 16-bit; VT_I2 in a bag
    Long,  // 32-bit; VT_I4
    Bool,  // 32-bit BOOL; VT_BOOL
    Color, // 32-bit OLE_COLOR; VT_I4
    Double,
    Text, // std::string of ANSI characters; VT_BSTR
    Font, // IFont* the control holds a reference to; a font object (VT_DISPATCH) in a bag, the
          // object's class id and saved form in a stream. A loaded font replaces the held one.
};

// One persisted property: its bag name, its kind, where the control keeps it, and the range a
// loaded value must lie in (none when lowest > highest).
struct PersistentField {
    const wchar_t* name;
    FieldKind kind;
    void* field;
    LONG lowest = 0;
    LONG highest = -1;
};
using PersistentFields = std::vector<PersistentField>;

// The binary form of a field: shorts 2 bytes, booleans, colours and longs 4, doubles 8, texts a
// 32-bit count and the characters. A loaded value out of range is damage (E_UNEXPECTED).
HRESULT writeField(StreamWriter& out, const PersistentField& field);
HRESULT readField(StreamReader& in, const PersistentField& field);

// A bag value that is missing, of a type that does not convert, or out of range leaves the
// field as it is (the default, when loading starts from the defaults).
HRESULT writeBagField(IPropertyBag* bag, const PersistentField& field);
void readBagField(IPropertyBag* bag, IErrorLog* log, const PersistentField& field);

std::string narrowText(const wchar_t* text, int length = -1);
std::wstring wideText(const std::string& text);

} // namespace framework
