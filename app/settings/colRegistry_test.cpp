#include "colRegistry.h"

#include "runtime/error.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using runtime::Variant;

runtime::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const runtime::Error& e) {
        return e;
    }
    return runtime::Error(0, "", "");
}

TEST(colRegistry, ItemsByPositionAndByKey) {
    colRegistry values;
    values.Add("Alpha", "Alpha", 1, Variant("a"));
    values.Add("Beta", "Beta", 4, Variant(std::int32_t(7)));
    auto unnamed = values.Add("", "", 4, Variant(std::int32_t(9))); // no key: made, but not stored
    EXPECT_EQ(unnamed->LongValue(), 9);
    EXPECT_EQ(values.Count(), 2);
    EXPECT_EQ(values.Item(std::int16_t(2))->Name, "Beta");
    EXPECT_EQ(values.Item("alpha")->StringValue(), "a"); // keys match without regard to case
    EXPECT_EQ(errorOf([&] { values.Add("ALPHA", "ALPHA", 1, Variant("x")); }).number(), 457);

    for (Variant bad : {Variant(std::int16_t(0)), Variant(std::int32_t(3)), Variant(std::int16_t(-1))}) {
        runtime::Error e = errorOf([&] { values.Item(bad); });
        EXPECT_EQ(e.number(), 1200);
        EXPECT_EQ(e.source(), "Registry Collection");
        EXPECT_EQ(e.description(), "Invalid Index");
    }
    runtime::Error missing = errorOf([&] { values.Item("Gamma"); });
    EXPECT_EQ(missing.number(), 1200);
    EXPECT_EQ(missing.description(), "Name not Found in Current Key");
    EXPECT_EQ(errorOf([&] { values.Item(Variant::null()); }).number(), runtime::err::TypeMismatch);

    values.Remove(std::int16_t(1));
    ASSERT_EQ(values.Count(), 1);
    std::vector<std::string> names;
    for (const auto& item : values)
        names.push_back(item->Name);
    EXPECT_EQ(names, std::vector<std::string>{"Beta"});
}

TEST(colRegistry, DataOfEachTypeIsKept) {
    colRegistry values;
    runtime::Bytes blob(700);
    for (std::size_t i = 0; i < blob.size(); ++i)
        blob[i] = std::uint8_t(i);
    auto binary = values.Add("Blob", "Blob", 3, Variant(blob));
    EXPECT_EQ(binary->Data(), blob); // all of it, not a truncated copy
    EXPECT_EQ(binary->GetDataStr(), "");
    EXPECT_EQ(binary->GetDataLong(), 0);
    EXPECT_EQ(binary->GetData(), std::string(blob.begin(), blob.end()));

    auto bigEndian = values.Add("BE", "BE", 5, Variant(runtime::Bytes{0, 0, 1, 2}));
    EXPECT_EQ(bigEndian->Data(), (runtime::Bytes{0, 0, 1, 2}));

    auto list = values.Add("List", "List", 7, Variant(std::string("one\0two\0\0", 9)));
    std::vector<std::string> pieces;
    list->GetDataMultiStr(pieces);
    EXPECT_EQ(pieces, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(list->GetMultiStringCount(), 2);
    EXPECT_EQ(list->GetDataStr(), std::string("one\0two\0\0", 9));

    auto text = values.Add("Text", "Text", 1, Variant("abc"));
    pieces.clear();
    text->GetDataMultiStr(pieces); // not a multi-string: nothing
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(text->GetMultiStringCount(), 0);
    EXPECT_EQ(text->GetDataLong(), 0);
    EXPECT_EQ(values.Add("N", "N", 4, Variant("42"))->GetDataLong(), 42);
}

} // namespace
