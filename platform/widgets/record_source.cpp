#include "record_source.h"

#include "runtime/numbers.h"

namespace widgets {

int RecordSource::fieldIndex(const std::string& name) const {
    for (int i = 0; i < fieldCount(); ++i)
        if (runtime::equalsNoCase(fieldName(i), name)) return i;
    return -1;
}

} // namespace widgets
