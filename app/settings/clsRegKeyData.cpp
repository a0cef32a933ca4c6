#include "clsRegKeyData.h"

std::int32_t clsRegKeyData::GetDataLong() const {
    return type_ == 4 ? number_ : 0;
}

std::uint8_t clsRegKeyData::GetDataByte() const {
    return byte_;
}

std::string clsRegKeyData::GetDataStr() const {
    return isText() ? text_ : std::string();
}

void clsRegKeyData::GetDataMultiStr(std::vector<std::string>& sArray) const {
    if (type_ != 7) return;
    std::size_t start = 0, index = 0;
    while (start < text_.size()) {
        std::size_t end = text_.find('\0', start);
        if (end == std::string::npos) end = text_.size();
        if (end == start) break; // the empty piece that ends the list
        if (index >= sArray.size()) sArray.resize(index + 1);
        sArray[index++] = text_.substr(start, end - start);
        start = end + 1;
    }
}

std::int16_t clsRegKeyData::GetMultiStringCount() const {
    std::vector<std::string> pieces;
    GetDataMultiStr(pieces);
    return std::int16_t(pieces.size());
}

void clsRegKeyData::SetData(const runtime::Bytes& dta) {
    data_ = dta;
}

std::string clsRegKeyData::GetData() const {
    return std::string(data_.begin(), data_.end());
}
