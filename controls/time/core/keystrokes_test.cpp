#include "keystrokes.h"

#include "field_typing.h"
#include "test_locales.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vxtime {
namespace {

TimeModel model(const char* format, std::int32_t number, TimeLocale locale = test::englishLocale()) {
    TimeModel m(std::move(locale), number);
    EXPECT_EQ(m.setFormat(format), Assign::Accepted) << format;
    return m;
}

// Types `keys` one by one from `caret`, as the control does after each accepted or refused key.
std::string typeKeys(TimeModel& m, int& caret, const std::string& keys, int* refused = nullptr) {
    for (char c : keys) {
        const KeyAnswer a = typeCharacter(m, {caret, 0}, c);
        if (refused && a.result == Keystroke::Refused) ++*refused;
        caret = a.selection.start;
    }
    return m.editText();
}

// --- The digit arithmetic, written out a second time from its description, step by step ---

int pow10(int n) {
    return n == 0 ? 1 : 10 * pow10(n - 1);
}

struct Reference {
    int value;
    bool refused;
    bool skip;
};

Reference referenceDigit(int v, int lo, int hi, int k, int digit, bool promptRight) {
    const int g = pow10(k);
    // a. the sign
    int s = v < lo ? -1 : 1;
    if (k > 0 && lo == 0) s = promptRight ? -1 : 1;
    // b. the digit replaces the one at the caret
    v = v + s * (digit * g + std::abs(v) % g - std::abs(v) % (10 * g));
    if (k == 0) v = std::abs(v);
    Reference r{v, false, false};
    // c. too large
    if (std::abs(v) > hi) {
        const int digitsOfHi = hi >= 10 ? 2 : 1;
        const int t = pow10(digitsOfHi - 1);
        const int threshold = t + hi - hi % t;
        if (std::abs(v) >= threshold) {
            r = {digit, false, true};
        } else {
            int kk = k;
            if (hi / g < std::abs(v) / g) {
                kk = k + 1;
                r.refused = true;
            }
            r.value = -(std::abs(v) - std::abs(v) % pow10(kk));
        }
    } else if (std::abs(v) < lo) {
        // d. too small (only the twelve-hour hour has a low limit above 0)
        const int o = lo % g;
        const int u = std::abs(v) - std::abs(v) % g;
        if (lo - o >= u) r.value = -(std::abs(v) - std::abs(v) % g);
        r.refused = u < lo - o;
    }
    return r;
}

// The limits of a number field while typing: the per-field limits of the commit check with the
// hour rule on, written from the rule itself.
void limitsOf(FieldKind kind, bool twelveHour, int ampm, int& lo, int& hi) {
    if (kind != FieldKind::Hour) {
        lo = 0, hi = 59;
    } else if (!twelveHour) {
        lo = 0, hi = 23;
    } else if (ampm == kAm) {
        lo = 0, hi = 12;
    } else {
        lo = 1, hi = 12;
    }
}

// The arithmetic's zero of an incomplete field is the control's "__" or "0_".
int normal(int v) {
    return v == kEmptyField || v == kZeroTens ? 0 : v;
}

std::int32_t fieldOf(const TimeFields& f, FieldKind kind) {
    return kind == FieldKind::Hour ? f.hour : kind == FieldKind::Minute ? f.minute : f.second;
}

// Every digit at every caret place of every number field, from every state a field can be in
// (empty, a tens digit typed, every complete value), in every AM/PM state, for each Format kind:
// the control's typing agrees with the arithmetic as written out above.
TEST(Keystrokes, DigitArithmeticAgreesWithTheReferenceEverywhere) {
    struct Case {
        const char* format;
        TimeLocale locale;
    };
    const Case cases[] = {
        {"hh:mm:ss", test::englishLocale()},  {"h:mm:ss AM/PM", test::englishLocale()},
        {"hh:mm a/p", test::englishLocale()}, {"hh:mm am/pm", test::englishLocale()},
        {"A/P hh", test::englishLocale()},    {"AMPM hh:mm", test::japaneseLocale()},
    };
    int compared = 0;
    for (const Case& c : cases) {
        const TimeModel base = model(c.format, 101010, c.locale);
        const EditLayout& layout = base.layout();
        const bool twelve = layout.hourStyle().twelveHour();
        for (const EditField& field : layout.fields) {
            if (field.kind == FieldKind::AmPm) continue;
            const std::vector<int> halves = twelve ? std::vector<int>{kAm, kPm} : std::vector<int>{kAm};
            for (int ampm : halves) {
                int lo = 0, hi = 0;
                limitsOf(field.kind, twelve, ampm, lo, hi);
                constexpr int kCleared = 1000; // a cleared control: every field shows prompt characters
                std::vector<int> states = {kCleared, kEmptyField, kZeroTens};
                for (int d = 1; d <= 9; ++d)
                    states.push_back(-10 * d);
                for (int v = lo; v <= hi; ++v)
                    states.push_back(v);
                for (int state : states)
                    for (int place = 0; place < 2; ++place)
                        for (int digit = 0; digit <= 9; ++digit) {
                            TimeModel m = base;
                            if (state == kCleared) m.clear();
                            TimeFields f = m.fields();
                            f.ampm = ampm;
                            if (state != kCleared)
                                (field.kind == FieldKind::Hour     ? f.hour
                                 : field.kind == FieldKind::Minute ? f.minute
                                                                   : f.second) = state;
                            m.setEditFields(f);
                            const bool blank =
                                state == kCleared || state == kEmptyField || state == kZeroTens;
                            const int pos = field.start + place;
                            const bool promptRight = place == 0 && m.editText()[pos + 1] == m.promptChar();
                            const int k = 1 - place;
                            const Reference want =
                                referenceDigit(blank ? 0 : state, lo, hi, k, digit, blank || promptRight);
                            const KeyAnswer got = typeCharacter(m, {pos, 0}, static_cast<char>('0' + digit));
                            const std::string where =
                                std::string(c.format) + " field at " + std::to_string(field.start) +
                                " state " + std::to_string(state) + " ampm " + std::to_string(ampm) +
                                " place " + std::to_string(place) + " digit " + std::to_string(digit);
                            ASSERT_EQ(normal(fieldOf(m.fields(), field.kind)), normal(want.value)) << where;
                            ASSERT_EQ(got.result == Keystroke::Refused, want.refused) << where;
                            ++compared;
                        }
            }
        }
    }
    EXPECT_GT(compared, 20000);
}

TEST(Keystrokes, TypingMovesTheCaretOverLiteralsAndRefusesWhatAFieldCannotTake) {
    TimeModel m = model("hh:mm:ss", 123045);
    int caret = 0;
    EXPECT_EQ(typeKeys(m, caret, "7"), "07:30:45"); // too large for the tens: "07", caret on the minute
    EXPECT_EQ(caret, 3);

    m.clear();
    caret = 0;
    int refused = 0;
    EXPECT_EQ(typeKeys(m, caret, "25", &refused), "2_:__:__"); // 25 is no hour
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(caret, 1);
    EXPECT_EQ(typeKeys(m, caret, "3x45599", &refused), "23:45:59");
    EXPECT_EQ(refused, 3); // and "x", and the last 9 past the last field
    EXPECT_TRUE(m.commitEdit());
    EXPECT_EQ(m.number(), 234559);

    // Leading zeros go into an empty control like any digit: "0" shows "0_" and the caret moves on.
    m.clear();
    caret = 0;
    EXPECT_EQ(typeKeys(m, caret, "0"), "0_:__:__");
    EXPECT_EQ(caret, 1);
    EXPECT_EQ(typeKeys(m, caret, "9050"), "09:05:0_");
    EXPECT_EQ(typeKeys(m, caret, "0"), "09:05:00");
    EXPECT_TRUE(m.commitEdit());
    EXPECT_EQ(m.number(), 90500);

    TimeModel ampm = model("hh:mm AM/PM", 93000);
    EXPECT_EQ(typeCharacter(ampm, {6, 0}, 'p'), (KeyAnswer{Keystroke::Accepted, {8, 0}}));
    EXPECT_EQ(ampm.editText(), "09:30 PM");
    EXPECT_EQ(typeCharacter(ampm, {6, 0}, 'x').result, Keystroke::Refused);
    EXPECT_EQ(typeCharacter(ampm, {5, 0}, 'A').selection.start, 8); // from the blank into the field
    EXPECT_EQ(ampm.editText(), "09:30 AM");
    EXPECT_TRUE(ampm.commitEdit());
    EXPECT_EQ(ampm.number(), 93000);

    // A selection of more than one character is emptied before the digit goes in.
    TimeModel sel = model("hh:mm:ss", 123045);
    EXPECT_EQ(typeCharacter(sel, {0, 5}, '1').selection.start, 1);
    EXPECT_EQ(sel.editText(), "1_:__:45");
}

TEST(Keystrokes, TheZeroHourOfTheMorningTokens) {
    // "am/pm" and "AMPM" keep 0:30 in the morning as hour 0; typing "00" there is a time.
    TimeModel m = model("hh:mm am/pm", 3000);
    EXPECT_EQ(m.editText(), "00:30 am");
    int caret = 0;
    EXPECT_EQ(typeKeys(m, caret, "11"), "11:30 am");
    caret = 0;
    EXPECT_EQ(typeKeys(m, caret, "00"), "00:30 am");
    EXPECT_TRUE(m.commitEdit());
    EXPECT_EQ(m.number(), 3000);
    EXPECT_EQ(typeCharacter(m, {6, 0}, 'p').result, Keystroke::Accepted);
    caret = 0;
    int refused = 0;
    typeKeys(m, caret, "00", &refused); // no hour 0 in the afternoon
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(m.commitEdit());

    TimeModel jp = model("AMPM hh:mm", 3000, test::japaneseLocale());
    EXPECT_EQ(jp.editText(), std::string(test::kGozen) + " 00:30");
    caret = 5;
    typeKeys(jp, caret, "07");
    EXPECT_EQ(jp.editText(), std::string(test::kGozen) + " 07:30");
    EXPECT_EQ(caret, 8);
    EXPECT_TRUE(jp.commitEdit());
    EXPECT_EQ(jp.number(), 73000);
}

TEST(Keystrokes, DeletingAndBackspace) {
    TimeModel m = model("hh:mm:ss AM/PM", 113045);
    EXPECT_EQ(deleteSelection(m, {3, 0}), 3); // the minute's tens and what follows it in the field
    EXPECT_EQ(m.editText(), "11:__:45 AM");
    EXPECT_FALSE(m.commitEdit());
    EXPECT_EQ(m.number(), 113045);
    EXPECT_EQ(deleteSelection(m, {7, 4}), 7); // a selection reaching into the AM/PM field empties it
    EXPECT_EQ(m.editText(), "11:__:4_ __");
    EXPECT_EQ(deleteSelection(m, {9, 0}), 9);
    EXPECT_EQ(backspace(m, {3, 0}), (KeyAnswer{Keystroke::Accepted, {1, 0}}));
    EXPECT_EQ(m.editText(), "1_:__:4_ __");
    EXPECT_EQ(backspace(m, {0, 0}).selection.start, 0);
    deleteSelection(m, {0, 11});
    EXPECT_TRUE(m.isEmpty()); // nothing but prompt characters: the no-time marker
    EXPECT_EQ(m.number(), kNoTime);
}

TEST(Keystrokes, CaretMovementAndFocusPlacement) {
    TimeModel m = model("hh:mm:ss AM/PM", 143045);
    EXPECT_EQ(moveCaret(m, CaretKey::End, {}), 11);
    EXPECT_EQ(moveCaret(m, CaretKey::Home, {5, 0}), 0);
    EXPECT_EQ(moveCaret(m, CaretKey::Right, {1, 0}), 3);
    EXPECT_EQ(moveCaret(m, CaretKey::Down, {0, 2}), 3); // from the selection end less one
    EXPECT_EQ(moveCaret(m, CaretKey::Left, {3, 2}), 1);
    EXPECT_EQ(moveCaret(m, CaretKey::Up, {9, 0}), 7);
    deleteSelection(m, {3, 0});
    EXPECT_EQ(moveCaret(m, CaretKey::Right, {3, 0}), 3); // an empty place keeps the caret

    EXPECT_EQ(focusSelection(m, 0, 0), (Selection{0, 0}));
    EXPECT_EQ(focusSelection(m, 1, 1), (Selection{9, 2}));
    EXPECT_EQ(focusSelection(m, 4, 0), (Selection{6, 0}));
    EXPECT_EQ(focusSelection(m, 3, 2), (Selection{0, 11}));
    EXPECT_EQ(focusSelection(model("hh:mm", 0), 4, 1), (Selection{0, 2})); // no second: the first field
    EXPECT_EQ(shiftSelectionStart(m, 4), 5);

    TimeModel jp = model("AMPM hh:mm", 3000, test::japaneseLocale());
    EXPECT_EQ(caretForward(jp, 0), 2); // over the double-byte character
    EXPECT_EQ(caretBack(jp, 5), 2);
    EXPECT_EQ(shiftSelectionStart(jp, 0), 2);
}

TEST(Keystrokes, SpinStepsCarryAndFlipTheHalfOfTheDay) {
    TimeModel m = model("hh:mm:ss", 235959);
    EXPECT_TRUE(spinField(m, 7, 1));
    EXPECT_EQ(m.editText(), "00:00:00");
    EXPECT_EQ(m.number(), 0);
    EXPECT_TRUE(spinField(m, 4, -1));
    EXPECT_EQ(m.number(), 235900);

    TimeModel twelve = model("hh:mm AM/PM", 115900);
    EXPECT_TRUE(spinField(twelve, 3, 1)); // 11:59 AM: the minute carries, the hour reaches 12
    EXPECT_EQ(twelve.editText(), "12:00 PM");
    EXPECT_EQ(twelve.number(), 120000);
    EXPECT_TRUE(spinField(twelve, 0, -1));
    EXPECT_EQ(twelve.editText(), "11:00 AM");
    EXPECT_TRUE(spinField(twelve, 0, 1));
    EXPECT_TRUE(spinField(twelve, 0, 1));
    EXPECT_EQ(twelve.editText(), "01:00 PM"); // 12 wraps to 1 without a flip
    EXPECT_TRUE(spinField(twelve, 7, 1));
    EXPECT_EQ(twelve.number(), 10000);

    TimeModel morning = model("hh:mm am/pm", 10000);
    EXPECT_TRUE(spinField(morning, 0, -1));
    EXPECT_EQ(morning.editText(), "00:00 am"); // midnight keeps the zero hour
    EXPECT_EQ(morning.number(), 0);

    deleteSelection(m, {0, 0});
    EXPECT_FALSE(spinField(m, 4, 1)); // not while a prompt character shows
    TimeModel literal = model("hh:mm:ss", 0);
    EXPECT_FALSE(spinField(literal, 2, 1)); // the caret on a literal
}

} // namespace
} // namespace vxtime
