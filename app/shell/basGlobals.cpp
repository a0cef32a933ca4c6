#include "basGlobals.h"

#include "CKelmarOptions.h"

namespace basGlobals {

std::unique_ptr<CKelmarOptions> gOptions;
bool gHighlightLine = false;
bool gAutoRefresh = false;
std::int16_t gRefreshInterval = 0;
bool gRefreshPending = false;
std::string gUserName;
std::string gUserPassword;

void resetGlobals() {
    gOptions.reset();
    gHighlightLine = gAutoRefresh = gRefreshPending = false;
    gRefreshInterval = 0;
    gUserName.clear();
    gUserPassword.clear();
}

} // namespace basGlobals
