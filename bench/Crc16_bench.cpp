// Crc16 throughput beside Boost.CRC's table-driven CRC-16/X-25 on 64 MiB.
#include <benchmark/benchmark.h>

#include <boost/crc.hpp>
#include <cstdint>
#include <random>
#include <vector>

#include "diag/Crc16.h"

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

void BM_Crc16(benchmark::State& state) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Crc16(buffer.data(), static_cast<uint32_t>(buffer.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(buffer.size()));
}

void BM_BoostCrcX25(benchmark::State& state) {
  const std::vector<uint8_t>& buffer = Buffer();
  for (auto _ : state) {
    boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, true, true> crc;
    crc.process_bytes(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(crc.checksum());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(buffer.size()));
}

BENCHMARK(BM_Crc16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoostCrcX25)->Unit(benchmark::kMillisecond);

}  // namespace
