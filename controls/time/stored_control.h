// Everything of the time control that is saved, flat, in the order and widths it is stored: the
// control copies its state in here before a save, the framework's readers fill it on a load, and
// the control takes it back afterwards. Values the control has no property for (a word of the
// block, reserved bytes and a reserved string, AlignVertical, DropdownButton) live only here and
// are written back as they were read.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <string>

#include "caption.h"

namespace timectl {

struct StoredControl {
    StoredControl() { VariantInit(&bound); }
    ~StoredControl() {
        VariantClear(&bound);
        if (captionFont) captionFont->Release();
    }
    StoredControl(const StoredControl&) = delete;
    StoredControl& operator=(const StoredControl&) = delete;

    // The control's block.
    LONG blockWord = 1;
    BOOL errorBeep = FALSE, readOnly = FALSE;
    short alignHorizontal = 0, alignVertical = 0, clipMode = 0, cursorPosition = 0, dataProperty = 0,
          highlightText = 0;
    BYTE reserved[8] = {};
    short selLength = 0, selStart = 0;
    LONG maxTime = 235959, minTime = 0, number = 999999;
    double value = 0;
    VARIANT bound;

    // The strings.
    std::string format, displayFormat, keyClear, keyNext, keyNow, keyPrevious, promptChar, reservedText, text;
    bool displayFormatStored = true;

    // The edit base.
    short appearance = 1, borderStyle = 1, marginBottom = 1, marginLeft = 1, marginRight = 1, marginTop = 1;
    BOOL enabled = TRUE, dropdownButton = FALSE, spinButton = FALSE, spinAutowrap = FALSE;
    OLE_COLOR backColor = 0x80000005, foreColor = 0x80000008;

    // The caption.
    CaptionState caption;
    IFont* captionFont = nullptr;
};

} // namespace timectl
