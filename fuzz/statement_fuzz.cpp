// The statement translator fed any text, NUL bytes included: statement text comes from users'
// saved queries and from the program. Refusing it with the layer's error is an answer; any other
// exception, a crash or undefined behaviour is a finding. Both engines' dialects are written.
#include "dao/jet_sql.h"
#include "runtime/error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto dialect : {dao::jet::Dialect::File, dao::jet::Dialect::Server}) {
        try {
            const dao::jet::Statement statement = dao::jet::parse(text);
            dao::jet::translate(statement.body, statement.parameters, dialect);
        } catch (const runtime::Error&) {
        }
    }
    return 0;
}
