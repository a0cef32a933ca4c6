// The late-shipment workbook for a year of days and 20 late reasons, against libxlsxwriter writing
// the same cells (values, A1 formulas, formats) by hand. Both write the file to the same folder.
#include "late_shipment_sheet.h"
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int kDays = 365, kReasons = 20;
const runtime::Date kFirstDay = runtime::Date::fromYmd(2026, 1, 1);

const lateReport::Crosstab& yearOfDays() {
    static lateReport::Crosstab crosstab = [] {
        lateReport::Crosstab c;
        for (int r = 0; r < kReasons; ++r)
            c.reasons.push_back("Reason number " + std::to_string(r + 1));
        for (int d = 0; d < kDays; ++d) {
            lateReport::Day day{kFirstDay.addDays(d), 40.0 + d % 7, 5.0 + d % 5, {}};
            for (int r = 0; r < kReasons; ++r)
                day.reasons.push_back((d + r) % 3 == 0 ? std::optional<double>()
                                                       : std::optional<double>((d + r) % 4));
            c.days.push_back(std::move(day));
        }
        return c;
    }();
    return crosstab;
}

std::string outputFile(const char* name) {
    fs::path dir = fs::temp_directory_path() / ("dorvane_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return (dir / name).string();
}

void ours(benchmark::State& state) {
    const auto& crosstab = yearOfDays();
    std::string path = outputFile("ours.xlsx");
    for (auto _ : state) {
        workbook::Workbook book(path);
        lateReport::layOutSheet(book.addWorksheet("Late Shipments"), crosstab, kFirstDay,
                                kFirstDay.addDays(kDays - 1), "Brellin Plastics");
        book.close();
    }
}

std::string column(int c) { // 1-based, up to two letters
    std::string s;
    for (int n = c; n > 0; n = (n - 1) / 26)
        s.insert(s.begin(), char('A' + (n - 1) % 26));
    return s;
}

// The same cells written straight to libxlsxwriter, formulas already in A1 notation.
void libxlsxwriterAlone(benchmark::State& state) {
    const auto& c = yearOfDays();
    std::string path = outputFile("alone.xlsx");
    const int last = 4 + kReasons;
    char f[128];
    for (auto _ : state) {
        lxw_workbook* book = workbook_new(path.c_str());
        lxw_worksheet* sheet = workbook_add_worksheet(book, "Late Shipments");
        lxw_format* title = workbook_add_format(book);
        format_set_font_name(title, "Arial"), format_set_font_size(title, 16), format_set_bold(title);
        lxw_format* header = workbook_add_format(book);
        format_set_bottom(header, LXW_BORDER_MEDIUM);
        lxw_format* day = workbook_add_format(book);
        format_set_num_format(day, "m/d/yy");
        lxw_format* percent = workbook_add_format(book);
        format_set_num_format(percent, "0.000%");
        worksheet_write_string(sheet, 0, 0, "Brellin Plastics", title);
        worksheet_write_string(sheet, 1, 0, "Late Shipments Report", nullptr);
        for (int r = 0; r < kReasons; ++r)
            worksheet_write_string(sheet, 6, 4 + r, c.reasons[r].c_str(), header);
        int row = 7;
        for (const auto& d : c.days) {
            worksheet_write_number(sheet, row, 0, d.day.serial, day);
            worksheet_write_number(sheet, row, 1, *d.scheduled, nullptr);
            worksheet_write_number(sheet, row, 2, *d.late, nullptr);
            double named = 0;
            for (int r = 0; r < kReasons; ++r)
                if (d.reasons[r])
                    worksheet_write_number(sheet, row, 4 + r, *d.reasons[r], nullptr), named += *d.reasons[r];
            std::snprintf(f, sizeof f, "=C%d-SUM(E%d:%s%d)", row + 1, row + 1, column(last).c_str(), row + 1);
            worksheet_write_formula_num(sheet, row, 3, f, nullptr, *d.late - named);
            ++row;
        }
        for (int col = 2; col <= last; ++col) {
            std::string letter = column(col);
            std::snprintf(f, sizeof f, "=SUM(%s$8:%s%d)", letter.c_str(), letter.c_str(), row);
            worksheet_write_formula_num(sheet, row, col - 1, f, nullptr, 0);
            std::snprintf(f, sizeof f, "=%s%d/$B%d", letter.c_str(), row + 1, row + 1);
            if (col >= 3) worksheet_write_formula_num(sheet, row + 1, col - 1, f, percent, 0);
            std::snprintf(f, sizeof f, "=%s%d/$C%d", letter.c_str(), row + 1, row + 1);
            if (col >= 4) worksheet_write_formula_num(sheet, row + 2, col - 1, f, percent, 0);
        }
        worksheet_freeze_panes(sheet, 7, 0);
        workbook_close(book);
    }
}

BENCHMARK(ours)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(libxlsxwriterAlone)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter(
        {{"late workbook, a year x 20 reasons: ours / libxlsxwriter alone", "ours", "libxlsxwriterAlone"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    fs::remove_all(fs::temp_directory_path() / ("dorvane_bench_" + std::to_string(::getpid())));
    benchmark::Shutdown();
}
