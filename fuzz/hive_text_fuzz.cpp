// The settings hive text fed any bytes: a hive file may have been edited by hand, cut short by a
// full disk or written by another program. Whatever is read must write out and read back as
// itself, undamaged, or the settings would change each time the program saves them.
#include "fuzz_check.h"
#include "winreg/hive_text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::string_view root = "HKEY_CURRENT_USER";
    const winreg::ParsedHive first = winreg::parseHive({reinterpret_cast<const char*>(data), size}, root);
    const std::string written = winreg::formatHive(first.root, root);
    const winreg::ParsedHive again = winreg::parseHive(written, root);
    fuzzCheck(!again.damaged, "a hive as written reads back undamaged");
    fuzzCheck(again.root == first.root, "a hive as written reads back as the same keys and values");
    fuzzCheck(winreg::formatHive(again.root, root) == written, "a hive written twice is the same text");
    return 0;
}
