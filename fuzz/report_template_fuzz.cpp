// Report templates fed any text: a template is a file beside the program that anyone may edit.
// Refusing it with TemplateError is an answer; any other exception, a crash or undefined behaviour
// is a finding. What is accepted must be something pages can be laid out from: a real page size
// and lengths that are numbers; and it is laid out over a few rows, as printing it would.
#include "fuzz_check.h"
#include "report/report_document.h"
#include "report/report_template.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool finite(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

bool finite(const QMarginsF& m) {
    return std::isfinite(m.left()) && std::isfinite(m.top()) && std::isfinite(m.right()) && std::isfinite(m.bottom());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    report::Template t;
    try {
        t = report::parseTemplate(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const report::TemplateError&) {
        return 0;
    }
    fuzzCheck(t.pageSize.isValid(), "an accepted template has a page size");
    fuzzCheck(finite(t.margins) && std::isfinite(t.fontSize) && std::isfinite(t.acrossGap) &&
                  std::isfinite(t.downGap),
              "an accepted template's page lengths are numbers");
    for (const report::Band& b : t.bands) {
        fuzzCheck(std::isfinite(b.height), "an accepted band's height is a number");
        for (const report::Item& i : b.items)
            fuzzCheck(finite(i.rect) && std::isfinite(i.size) && std::isfinite(i.penWidth),
                      "an accepted item's lengths are numbers");
    }
    // Three rows, every field the template names holding a text, a number or nothing in turn, and
    // one change of every group field on the way.
    report::RowSet rows;
    rows.names = t.fieldNames();
    for (int r = 0; r < 3; ++r) {
        std::vector<runtime::Variant> row;
        for (int c = 0; c < rows.names.size(); ++c) {
            switch ((r + c) % 3) {
            case 0: row.emplace_back(std::string("text ") + char('a' + r / 2)); break;
            case 1: row.emplace_back(1234.5 * (r / 2)); break;
            default: row.emplace_back(); break;
            }
        }
        rows.rows.push_back(std::move(row));
    }
    report::layoutReport(t, rows, t.formulas);
    return 0;
}
