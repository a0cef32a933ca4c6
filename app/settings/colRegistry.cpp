#include "colRegistry.h"

#include "runtime/error.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr long kRegistryCollectionError = 1200;

bool sameKey(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

runtime::Bytes bytesOf(const runtime::Variant& data) {
    if (data.type() == runtime::VarType::Bytes) return data.bytes();
    std::string text = data.toString();
    return runtime::Bytes(text.begin(), text.end());
}

} // namespace

colRegistry::Item_ colRegistry::Add(const std::string& Key, const std::string& Name, std::int32_t Typ,
                                    const runtime::Variant& Data) {
    auto item = std::make_shared<clsRegKeyData>();
    item->Key = Key;
    item->Name = Name;
    item->DataType(std::int16_t(Typ));
    if (Typ == 1 || Typ == 2 || Typ == 7)
        item->StringValue(Data.toString());
    else if (Typ == 4)
        item->LongValue(Data.toLong());
    else
        item->SetData(bytesOf(Data)); // binary and other values keep all their bytes
    if (!Key.empty()) {
        if (Exists(Key))
            throw runtime::Error(457, "Registry Collection",
                                 "This key is already associated with an element of this collection");
        items_.push_back(item);
    }
    return item;
}

bool colRegistry::Exists(const std::string& Key) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const Item_& item) { return sameKey(item->Key, Key); });
}

std::size_t colRegistry::positionOf(const runtime::Variant& index) const {
    using runtime::VarType;
    VarType t = index.type();
    if (t == VarType::String) {
        const std::string& key = std::get<std::string>(index.storage());
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (sameKey(items_[i]->Key, key)) return i;
        throw runtime::Error(kRegistryCollectionError, "Registry Collection",
                             "Name not Found in Current Key");
    }
    if (t == VarType::Empty || t == VarType::Null || t == VarType::Bytes)
        runtime::raise(runtime::err::TypeMismatch);
    std::int32_t position = index.toLong(); // an overflow is raised with its own number
    if (position < 1 || position > Count())
        throw runtime::Error(kRegistryCollectionError, "Registry Collection", "Invalid Index");
    return std::size_t(position - 1);
}

colRegistry::Item_ colRegistry::Item(const runtime::Variant& index) const {
    return items_[positionOf(index)];
}

void colRegistry::Remove(const runtime::Variant& index) {
    items_.erase(items_.begin() + positionOf(index));
}
