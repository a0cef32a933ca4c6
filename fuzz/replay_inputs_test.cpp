// Feeds a fuzz target every input kept for it, outside the fuzzer: its corpus and the inputs that
// once made it fail. One test per input, named after the file, so a crash names the input that
// caused it (the last test started).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> keptInputs() {
    std::vector<fs::path> files;
    for (const char* folder : {DORVANE_FUZZ_CORPUS, DORVANE_FUZZ_REGRESSIONS}) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string testName(const testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name + "_" + std::to_string(info.index); // unique even where two names clean up alike
}

class KeptInput : public testing::TestWithParam<fs::path> {};

TEST_P(KeptInput, RunsWithoutAFinding) {
    std::ifstream in(GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    // A buffer of exactly the input's size, as the fuzzer hands over: under AddressSanitizer a read
    // past its end is caught here too.
    auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    EXPECT_EQ(LLVMFuzzerTestOneInput(exact.get(), bytes.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Replay, KeptInput, testing::ValuesIn(keptInputs()), testName);

// An empty list would make the suite above pass without running anything.
TEST(KeptInputs, AreThere) {
    EXPECT_FALSE(keptInputs().empty()) << DORVANE_FUZZ_CORPUS;
}

} // namespace
