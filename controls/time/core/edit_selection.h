// Caret and selection rules over the edit text that do not need the edit window: where the caret
// may stand, how SelStart and SelLength are kept on whole characters, and what a copy takes.
#pragma once

#include "edit_layout.h"

#include <string>
#include <string_view>

namespace vxtime {

// The caret tables as functions: the next field position after `pos` (the end of the last field
// when there is none), and the last field position before `pos` (the start of the first field when
// there is none). Literals are never editable.
int nextEditable(const EditLayout& layout, int pos);
int previousEditable(const EditLayout& layout, int pos);

// SelStart: clamped to the text and moved back off a trail byte onto its lead byte.
int clampSelStart(std::string_view text, int start, const LeadBytes& lead);
// SelLength from a clamped start: clamped to the text after it and extended so that the selection
// does not end between a lead byte and its trail byte.
int clampSelLength(std::string_view text, int start, int length, const LeadBytes& lead);

// The text a copy puts on the clipboard: the selected characters, or with `excludeLiterals`
// (ClipMode 1) only those at field positions.
std::string copyText(const EditLayout& layout, std::string_view text, int start, int length,
                     bool excludeLiterals);

} // namespace vxtime
