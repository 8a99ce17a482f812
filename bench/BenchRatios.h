// Ratios between benchmarks of one run: each benchmark that sets the
// "bytes_per_second" rate is remembered by name, and the ratios named with
// AddBenchRatio are printed under the table.
#pragma once

#include <string>

// Prints "<label>: <rate of numerator / rate of denominator>x" after the run
// (benchmark names as registered, e.g. "BM_Crc16"). Call at static
// initialisation, beside the BENCHMARK lines.
bool AddBenchRatio(const std::string& label, const std::string& numerator, const std::string& denominator);
