#include "edit_selection.h"

#include <algorithm>

namespace vxtime {

int nextEditable(const EditLayout& layout, int pos) {
    for (const EditField& f : layout.fields) {
        if (pos + 1 < f.start) return f.start;
        if (f.contains(pos + 1)) return pos + 1;
    }
    return layout.fields.empty() ? 0 : layout.fields.back().start + layout.fields.back().length;
}

int previousEditable(const EditLayout& layout, int pos) {
    for (auto f = layout.fields.rbegin(); f != layout.fields.rend(); ++f) {
        if (pos - 1 >= f->start + f->length) return f->start + f->length - 1;
        if (f->contains(pos - 1)) return pos - 1;
    }
    return layout.fields.empty() ? 0 : layout.fields.front().start;
}

namespace {

// The start of the character that covers `pos` (pos itself unless it is a trail byte).
int characterStart(std::string_view text, int pos, const LeadBytes& lead) {
    int i = 0;
    while (i < pos) {
        const int next = i + static_cast<int>(charLength(text, i, lead));
        if (next > pos) return i;
        i = next;
    }
    return i;
}

} // namespace

int clampSelStart(std::string_view text, int start, const LeadBytes& lead) {
    return characterStart(text, std::clamp(start, 0, static_cast<int>(text.size())), lead);
}

int clampSelLength(std::string_view text, int start, int length, const LeadBytes& lead) {
    const auto size = static_cast<int>(text.size());
    const int end = start + std::clamp(length, 0, size - start);
    const int covering = characterStart(text, end, lead);
    // An end between a lead byte and its trail byte takes the whole character.
    return (covering < end ? end + 1 : end) - start;
}

std::string copyText(const EditLayout& layout, std::string_view text, int start, int length,
                     bool excludeLiterals) {
    const auto size = static_cast<int>(text.size());
    start = std::clamp(start, 0, size);
    const int end = start + std::clamp(length, 0, size - start);
    std::string out;
    for (int i = start; i < end; ++i)
        if (!excludeLiterals || layout.fieldAt(i) >= 0) out += text[i];
    return out;
}

} // namespace vxtime
