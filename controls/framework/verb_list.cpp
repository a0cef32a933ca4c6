#include "verb_list.h"

#include "snapshot_enumerator.h"
#include "strings.h"

#include <algorithm>

namespace framework {

void holdItem(OLEVERB& verb) {
    const wchar_t* name = verb.lpszVerbName ? verb.lpszVerbName : L"";
    const size_t bytes = (wcslen(name) + 1) * sizeof(OLECHAR);
    verb.lpszVerbName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (verb.lpszVerbName) std::copy(name, name + bytes / sizeof(OLECHAR), verb.lpszVerbName);
}

void dropItem(OLEVERB& verb) {
    CoTaskMemFree(verb.lpszVerbName);
    verb.lpszVerbName = nullptr;
}

// The registry holds no verb list for these controls, so the list comes from the control itself.
// The primary verb opens the property frame as Properties does; only Properties is on the menu,
// so a designer does not show the same action twice. The standard verbs carry no menu text.
std::vector<Verb> controlVerbs() {
    const std::wstring properties = loadWideString(kStringPropertiesVerb);
    return {
        {kVerbProperties, properties, MF_ENABLED, OLEVERBATTRIB_ONCONTAINERMENU},
        {OLEIVERB_PRIMARY, properties, MF_ENABLED, 0},
        {OLEIVERB_SHOW, L"", MF_ENABLED, 0},
        {OLEIVERB_HIDE, L"", MF_ENABLED, 0},
        {OLEIVERB_UIACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_INPLACEACTIVATE, L"", MF_ENABLED, 0},
        {OLEIVERB_PROPERTIES, L"", MF_ENABLED, 0},
    };
}

IEnumOLEVERB* enumerateVerbs(const std::vector<Verb>& verbs) {
    std::vector<OLEVERB> items;
    for (const Verb& verb : verbs) // names lent until the enumerator has its own copies
        items.push_back({verb.number, const_cast<LPOLESTR>(verb.name.c_str()), verb.menuFlags, verb.attributes});
    return new SnapshotEnumerator<IEnumOLEVERB, OLEVERB>(IID_IEnumOLEVERB, std::move(items));
}

} // namespace framework
