#pragma once
// One registry value as the registry component lists it: its name, its type code and its data.
#include "runtime/variant.h"

#include <cstdint>
#include <string>
#include <vector>

class clsRegKeyData {
public:
    std::string Key;  // the key it is stored under in its collection (the value's name)
    std::string Name; // the value's name; "<DEFAULT>" for the key's unnamed text value

    std::int32_t GetDataLong() const; // the number of a type-4 value, otherwise 0
    std::uint8_t GetDataByte() const; // ByteValue
    std::string GetDataStr() const;   // the text of a type 1, 2 or 7 value, otherwise ""
    // The pieces of a multi-string (type 7) from position 0, up to the first empty piece.
    void GetDataMultiStr(std::vector<std::string>& sArray) const;
    std::int16_t GetMultiStringCount() const; // how many pieces GetDataMultiStr delivers
    void SetData(const runtime::Bytes& dta);  // keeps the bytes of a binary or other non-text value
    std::string GetData() const;              // those bytes, as they are

    const std::string& StringValue() const { return text_; }
    void StringValue(const std::string& sNewValue) { text_ = sNewValue; }
    std::int32_t LongValue() const { return number_; }
    void LongValue(std::int32_t lNewValue) { number_ = lNewValue; }
    std::int16_t DataType() const { return type_; }
    void DataType(std::int16_t iNewValue) { type_ = iNewValue; }
    std::uint8_t ByteValue() const { return byte_; }
    void ByteValue(std::uint8_t bNewValue) { byte_ = bNewValue; }

    const runtime::Bytes& Data() const { return data_; }

private:
    bool isText() const { return type_ == 1 || type_ == 2 || type_ == 7; }

    std::int16_t type_ = 0;
    std::int32_t number_ = 0;
    std::string text_;
    std::uint8_t byte_ = 0;
    runtime::Bytes data_;
};
