// The benchmarks' main: Google Benchmark's console table, then the ratios
// the benchmarks asked for.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

#include "BenchRatios.h"

namespace {

struct Ratio {
  std::string m_Label, m_Numerator, m_Denominator;
};

std::vector<Ratio>& Ratios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && rate != run.counters.end())
        m_Rates[run.benchmark_name()] = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    for (const Ratio& ratio : Ratios()) {
      const auto numerator = m_Rates.find(ratio.m_Numerator);
      const auto denominator = m_Rates.find(ratio.m_Denominator);
      if (numerator == m_Rates.end() || denominator == m_Rates.end() || denominator->second <= 0) continue;
      std::printf("%s: %.2fx\n", ratio.m_Label.c_str(), numerator->second / denominator->second);
    }
  }

 private:
  std::map<std::string, double> m_Rates;
};

}  // namespace

bool AddBenchRatio(const std::string& label, const std::string& numerator, const std::string& denominator) {
  Ratios().push_back({label, numerator, denominator});
  return true;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
