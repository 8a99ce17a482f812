// Crc16 throughput beside Boost.CRC's table-driven CRC-16/X-25 on 64 MiB, per
// path (Crc16 takes the fastest this machine has).
#include <benchmark/benchmark.h>

#include <boost/crc.hpp>
#include <cstdint>
#include <random>
#include <vector>

#include "BenchRatios.h"
#include "framing/Crc16.h"

namespace {

constexpr size_t kBufferSize = size_t{64} << 20;

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> buffer = [] {
    std::vector<uint8_t> bytes(kBufferSize);
    std::mt19937 random(1);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
  }();
  return buffer;
}

template <typename Run>
void Measure(benchmark::State& state, Run run) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(run(buffer.data(), static_cast<uint32_t>(buffer.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(buffer.size()));
}

void BM_Crc16(benchmark::State& state) { Measure(state, Crc16); }

void BM_Crc16Portable(benchmark::State& state) {
  Measure(state, [](const uint8_t* data, uint32_t length) { return Crc16RunPortable(CRC16_PRESET, data, length); });
}

void BM_Crc16Clmul(benchmark::State& state) {
  if (!Crc16ClmulAvailable()) {
    state.SkipWithError("no carry-less multiply on this machine");
    return;
  }
  Measure(state, [](const uint8_t* data, uint32_t length) { return Crc16RunClmul(CRC16_PRESET, data, length); });
}

void BM_Crc16Clmul512(benchmark::State& state) {
  if (!Crc16Clmul512Available()) {
    state.SkipWithError("no 512-bit carry-less multiply on this machine");
    return;
  }
  Measure(state, [](const uint8_t* data, uint32_t length) { return Crc16RunClmul512(CRC16_PRESET, data, length); });
}

void BM_Crc16Bytewise(benchmark::State& state) {
  Measure(state, [](const uint8_t* data, uint32_t length) { return Crc16RunBytewise(CRC16_PRESET, data, length); });
}

void BM_BoostCrcX25(benchmark::State& state) {
  Measure(state, [](const uint8_t* data, uint32_t length) {
    boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, true, true> crc;
    crc.process_bytes(data, length);
    return crc.checksum();
  });
}

BENCHMARK(BM_Crc16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc16Clmul)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc16Clmul512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc16Portable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc16Bytewise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoostCrcX25)->Unit(benchmark::kMillisecond);
const bool kRatios = AddBenchRatio("Crc16 / Boost.CRC", "BM_Crc16", "BM_BoostCrcX25") &&
                     AddBenchRatio("Crc16 clmul / Boost.CRC", "BM_Crc16Clmul", "BM_BoostCrcX25") &&
                     AddBenchRatio("Crc16 clmul512 / Boost.CRC", "BM_Crc16Clmul512", "BM_BoostCrcX25") &&
                     AddBenchRatio("Crc16 portable / Boost.CRC", "BM_Crc16Portable", "BM_BoostCrcX25") &&
                     AddBenchRatio("Crc16 byte-wise / Boost.CRC", "BM_Crc16Bytewise", "BM_BoostCrcX25");

}  // namespace
