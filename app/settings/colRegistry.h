#pragma once
// The values of one registry key as a keyed collection: items by 1-based position or by name
// (names match without regard to case, as the registry's do), in the order they were added.
#include "clsRegKeyData.h"

#include "runtime/variant.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class colRegistry {
public:
    using Item_ = std::shared_ptr<clsRegKeyData>;

    // A new value object for `Data` of type `Typ`; stored under `Key` unless `Key` is empty.
    Item_ Add(const std::string& Key, const std::string& Name, std::int32_t Typ,
              const runtime::Variant& Data);
    // By position (a number, from 1) or by key (a text). Raises 1200 "Registry Collection" when absent.
    Item_ Item(const runtime::Variant& index) const;
    std::int32_t Count() const { return std::int32_t(items_.size()); }
    bool Exists(const std::string& Key) const;
    void Remove(const runtime::Variant& index);

    // NewEnum: the items in order, for range-for.
    const std::vector<Item_>& NewEnum() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::size_t positionOf(const runtime::Variant& index) const;

    std::vector<Item_> items_;
};
