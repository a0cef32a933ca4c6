// Gives the enumeration constants of a type library their help strings. widl accepts no
// helpstring on an enumeration member, so the IDL carries them in comments beside the constants,
//     vxHLeft = 0, /* helpstring("Left") */
// and this tool writes them into the binary type library widl made:
//     tlb-enum-help LIBRARY.tlb IDL-FILE...
// Each constant record of a matching enumeration grows by its help-context and help-string
// fields, the strings are added to the string segment, and every absolute offset behind the
// growth (segment directory, the type infos' data offsets) moves with it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const int kHeaderSize = 0x54;
const int kTypeInfoSize = 100;
const int kSegments = 15;
const int kSegmentString = 8;
// Indices of the 32-bit fields of a type info.
const int kTypeKind = 0, kMemOffset = 1, kElementCount = 6, kNameOffset = 13;

int32_t get32(const Bytes& data, size_t at) {
    int32_t value;
    std::memcpy(&value, &data.at(at + 3) - 3, 4);
    return value;
}
void put32(Bytes& data, size_t at, int32_t value) {
    std::memcpy(&data.at(at + 3) - 3, &value, 4);
}

bool fail(const std::string& why) {
    std::cerr << "tlb-enum-help: " << why << "\n";
    return false;
}

std::map<std::string, std::string> helpStringsOf(const char* idlPath) {
    std::ifstream in(idlPath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::regex constant(R"re((\w+)\s*=\s*-?\w+\s*,?\s*/\*\s*helpstring\("([^"]*)"\)\s*\*/)re");
    std::map<std::string, std::string> result;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), constant); it != std::sregex_iterator();
         ++it)
        result[(*it)[1]] = (*it)[2];
    return result;
}

// A string table entry: 16-bit length, the characters, padding to four bytes (at least eight).
Bytes stringEntry(const std::string& text) {
    Bytes entry = {static_cast<uint8_t>(text.size() & 0xFF), static_cast<uint8_t>(text.size() >> 8)};
    entry.insert(entry.end(), text.begin(), text.end());
    while (entry.size() % 4 || entry.size() < 8)
        entry.push_back(0x57);
    return entry;
}

bool patch(Bytes& tlb, const std::map<std::string, std::string>& help) {
    if (tlb.size() < kHeaderSize || std::memcmp(tlb.data(), "MSFT", 4) != 0)
        return fail("not a type library");
    const int32_t varflags = get32(tlb, 0x14), typeInfoCount = get32(tlb, 0x20);
    const size_t segmentDirectory = kHeaderSize + ((varflags & 0x100) ? 4 : 0) + 4 * typeInfoCount;
    auto segmentOffset = [&](int s) { return get32(tlb, segmentDirectory + 16 * s); };
    auto segmentLength = [&](int s) { return get32(tlb, segmentDirectory + 16 * s + 4); };
    const int32_t typeInfos = segmentOffset(0), names = segmentOffset(7);
    const int32_t strings = segmentOffset(kSegmentString),
                  stringsEnd = strings + segmentLength(kSegmentString);
    auto nameAt = [&](int32_t offset) {
        const size_t at = names + offset;
        const int length = get32(tlb, at + 8) & 0xFF;
        return std::string(reinterpret_cast<const char*>(&tlb.at(at + 12)), length);
    };

    // New strings go to the end of the string segment.
    Bytes added;
    std::map<std::string, int32_t> stringOffsets;
    auto stringOffset = [&](const std::string& text) {
        auto known = stringOffsets.find(text);
        if (known != stringOffsets.end()) return known->second;
        const int32_t offset = segmentLength(kSegmentString) + static_cast<int32_t>(added.size());
        Bytes entry = stringEntry(text);
        added.insert(added.end(), entry.begin(), entry.end());
        return stringOffsets[text] = offset;
    };

    // The data blocks of the type infos, rewritten where an enumeration gains help strings.
    struct Block {
        int typeInfo;
        int32_t start, size;
        Bytes data;
    };
    std::vector<Block> blocks;
    int patched = 0;
    for (int i = 0; i < typeInfoCount; ++i) {
        const size_t base = typeInfos + static_cast<size_t>(kTypeInfoSize) * i;
        const int32_t start = get32(tlb, base + 4 * kMemOffset);
        const int32_t elements = get32(tlb, base + 4 * kElementCount);
        const int functions = elements & 0xFFFF, variables = (elements >> 16) & 0xFFFF;
        if (functions + variables == 0) continue;
        const int32_t recordsSize = get32(tlb, start);
        const int32_t size = 4 + recordsSize + 12 * (functions + variables);
        Block block = {i, start, size, Bytes(tlb.begin() + start, tlb.begin() + start + size)};
        const bool isEnum = (get32(tlb, base + 4 * kTypeKind) & 0xF) == 0;
        if (isEnum && functions == 0) {
            const size_t ids = 4 + recordsSize, nameOffsets = ids + 4 * variables,
                         recordOffsets = nameOffsets + 4 * variables;
            std::vector<std::string> constants;
            bool wanted = false;
            for (int v = 0; v < variables; ++v) {
                constants.push_back(nameAt(get32(block.data, nameOffsets + 4 * v)));
                wanted = wanted || help.count(constants.back());
            }
            if (wanted) {
                Bytes records;
                std::vector<int32_t> offsets;
                for (int v = 0; v < variables; ++v) {
                    const int32_t offset = get32(block.data, recordOffsets + 4 * v);
                    const int32_t first = get32(block.data, 4 + offset);
                    const int length = first & 0xFFFF;
                    if (length != 0x14) return fail("unexpected constant record in " + constants[v]);
                    Bytes record(block.data.begin() + 4 + offset, block.data.begin() + 4 + offset + length);
                    auto text = help.find(constants[v]);
                    const int32_t helpString = text == help.end() ? -1 : stringOffset(text->second);
                    record.resize(length + 8);
                    put32(record, 0, (first & ~0xFFFF) | (length + 8));
                    put32(record, length, 0);              // help context
                    put32(record, length + 4, helpString); // help string
                    offsets.push_back(static_cast<int32_t>(records.size()));
                    records.insert(records.end(), record.begin(), record.end());
                }
                Bytes data(4);
                put32(data, 0, static_cast<int32_t>(records.size()));
                data.insert(data.end(), records.begin(), records.end());
                data.insert(data.end(), block.data.begin() + ids, block.data.begin() + recordOffsets);
                for (int32_t offset : offsets) {
                    data.resize(data.size() + 4);
                    put32(data, data.size() - 4, offset);
                }
                block.data = data;
                ++patched;
            }
        }
        blocks.push_back(block);
    }
    if (!patched) return true;

    // Everything after the string segment moves by the strings added; each block also by the
    // growth of the blocks before it.
    const int32_t delta = static_cast<int32_t>(added.size());
    Bytes result(tlb.begin(), tlb.begin() + stringsEnd);
    result.insert(result.end(), added.begin(), added.end());
    int32_t blocksStart = static_cast<int32_t>(tlb.size());
    for (const Block& block : blocks)
        blocksStart = std::min(blocksStart, block.start);
    result.insert(result.end(), tlb.begin() + stringsEnd, tlb.begin() + blocksStart);
    put32(result, segmentDirectory + 16 * kSegmentString + 4, segmentLength(kSegmentString) + delta);
    for (int s = 0; s < kSegments; ++s) {
        const int32_t offset = segmentOffset(s);
        if (offset != -1 && offset >= stringsEnd) put32(result, segmentDirectory + 16 * s, offset + delta);
    }
    int32_t growth = delta;
    std::map<int32_t, int32_t> moved; // old start -> new start
    int32_t previousEnd = blocksStart;
    for (const Block& block : blocks) {
        if (block.start != previousEnd) return fail("type info data blocks are not contiguous");
        moved[block.start] = block.start + growth;
        result.insert(result.end(), block.data.begin(), block.data.end());
        growth += static_cast<int32_t>(block.data.size()) - block.size;
        previousEnd = block.start + block.size;
    }
    moved[previousEnd] = previousEnd + growth;
    result.insert(result.end(), tlb.begin() + previousEnd, tlb.end());
    for (int i = 0; i < typeInfoCount; ++i) {
        const size_t field = typeInfos + static_cast<size_t>(kTypeInfoSize) * i + 4 * kMemOffset;
        const int32_t start = get32(tlb, field);
        auto it = moved.find(start);
        put32(result, field, it != moved.end() ? it->second : start + delta);
    }
    tlb.swap(result);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: tlb-enum-help LIBRARY.tlb IDL-FILE...\n";
        return 2;
    }
    std::map<std::string, std::string> help;
    for (int i = 2; i < argc; ++i)
        for (const auto& entry : helpStringsOf(argv[i]))
            help.insert(entry);
    std::ifstream in(argv[1], std::ios::binary);
    Bytes tlb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    if (!patch(tlb, help)) return 1;
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(tlb.data()), static_cast<std::streamsize>(tlb.size()));
    return out ? 0 : 1;
}
