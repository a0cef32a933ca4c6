#pragma once
// A console reporter that prints, after the usual table, each benchmark's median CPU time as a ratio
// to its baseline's in the same run, and the process's peak memory. The machine is shared, so runs
// are repeated and medians compared.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct Ratio {
    std::string label;    // what the line says
    std::string ours;     // the benchmark's full name, e.g. "layer/100000"
    std::string baseline; // its baseline's, e.g. "raw/100000"
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (auto& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                std::string name = r.run_name.function_name;
                if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
                times_[name] = r.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const Ratio& ratio : ratios_) {
            auto ours = times_.find(ratio.ours), baseline = times_.find(ratio.baseline);
            if (ours != times_.end() && baseline != times_.end())
                std::cout << ratio.label << ": " << ours->second / baseline->second << "x\n";
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::cout << "peak memory (max RSS): " << usage.ru_maxrss / 1024 << " MiB\n";
    }

private:
    std::vector<Ratio> ratios_;
    std::map<std::string, double> times_;
};

} // namespace bench
