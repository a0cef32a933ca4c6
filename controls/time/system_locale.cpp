#include "system_locale.h"

#include <windows.h>

#include <string>

#include "strings.h"

namespace timectl {

namespace {

const UINT kAmPmTableString = 4001;

std::string localeText(LCTYPE item) {
    char text[80] = {};
    int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, item, text, sizeof text);
    return length > 1 ? std::string(text, length - 1) : std::string();
}

// The numeric locale items are single digits written as text; a missing item reads as 0.
bool localeFlag(LCTYPE item) {
    std::string text = localeText(item);
    return !text.empty() && text != "0";
}

vxtime::LeadBytes ansiLeadBytes() {
    vxtime::LeadBytes lead;
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info)) return vxtime::LeadBytes::forCodePage(GetACP());
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        lead.addRange(info.LeadByte[i], info.LeadByte[i + 1]);
    return lead;
}

} // namespace

vxtime::TimeLocale readUserTimeLocale() {
    vxtime::TimeLocale locale;
    locale.language = vxtime::parseLanguageId(localeText(LOCALE_ILANGUAGE));
    std::string separator = localeText(LOCALE_STIME);
    if (!separator.empty()) locale.timeSeparator = separator;
    locale.leadingZero = localeFlag(LOCALE_ITLZERO);
    locale.twentyFourHour = localeText(LOCALE_ITIME) == "1";
    locale.ampmBeforeTime = localeFlag(LOCALE_ITIMEMARKPOSN);
    locale.leadBytes = ansiLeadBytes();
    // The table is a translated resource; a library built without it keeps the English table.
    std::string table = framework::loadString(kAmPmTableString);
    if (!table.empty()) locale.ampmTable = vxtime::AmPmTable(table);
    return locale;
}

std::int32_t currentClockNumber() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return now.wHour * 10000 + now.wMinute * 100 + now.wSecond;
}

} // namespace timectl
