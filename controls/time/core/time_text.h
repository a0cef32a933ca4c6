// Reading a time from text, as assigned to Text or SelText.
//
// The text is read only at the field positions of the edit layout, field by field in the order of
// the Format; literals are not compared. "__" (always underscores, whatever the prompt character)
// empties a field, and once a field is empty the later ones must be empty too. A text with an
// empty field is the no-time marker.
#pragma once

#include "edit_layout.h"

#include <optional>
#include <string_view>

namespace vxtime {

// The time number of `text`, kNoTime for an empty time, nothing when the text is refused (a field
// that is not a number or AM/PM text, a number outside its field's range, a field after an empty
// one, or a text too short to hold the fields).
std::optional<std::int32_t> parseTimeText(std::string_view text, const EditLayout& layout,
                                          const AmPmTable& table, char prompt);

} // namespace vxtime
