// The key-sequence player: plays a key text (see key_sequence.h) to the system as if typed, so the
// window with the focus and its container react as to the user's own keys.
#pragma once

namespace timectl {

// False when the text does not parse or another sequence is still playing.
bool playKeys(const char* text);

} // namespace timectl
