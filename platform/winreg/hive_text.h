#pragma once
// A hive as text in the registry editor's export format:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Example]
//   @="default text"
//   "Name"="C:\\path \"quoted\"\nsecond line"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,03
//   "Path"=hex(2):25,54,45,4d,50,25,00
//   "List"=hex(7):61,00,62,00,00
//   "Gone"=-
//   [-HKEY_CURRENT_USER\Software\Removed]
//
// Names and text escape \\, \", line feeds (\n) and carriage returns (\r) as the registry editor
// does; text with a terminating character inside is written as hex(1). "=-" and "[-...]" delete
// a value or a key tree when read.
//
// Files are written as REGEDIT4 (text is kept as the bytes the program wrote). Files in the
// "Windows Registry Editor Version 5.00" form are read too; their hex(1), hex(2) and hex(7) data
// are UTF-16 and become UTF-8.
#include "hive_tree.h"

#include <string>
#include <string_view>

namespace winreg {

struct ParsedHive {
    HiveKey root;
    // Something in the text could not be read (a foreign section, a broken line, a value cut off at
    // the end). Everything readable is in `root`; the caller keeps the damaged text aside.
    bool damaged = false;
};

// `rootName` is the hive's own root ("HKEY_CURRENT_USER"); sections under other roots are damage.
ParsedHive parseHive(std::string_view text, std::string_view rootName);
std::string formatHive(const HiveKey& root, std::string_view rootName);

// Whether a key name can be written to a hive file and read back unchanged: a section line cannot
// hold a line break. (Value names are quoted and escaped, so every value name can.)
bool storableKeyName(std::string_view name);

} // namespace winreg
