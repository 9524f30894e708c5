// How fast the link cuts a received byte stream into queued messages, beside
// a plain memcpy of the same bytes. Each "read" delivers as many bytes as the
// receive buffer has room for, as a real read completion does.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "simlink/transport_probe_testing.h"

namespace {

// Feeds the stream read by read; returns the messages cut out.
std::size_t Feed(simlink::TransportProbe& probe, const std::vector<std::uint8_t>& stream) {
  std::size_t messages = 0;
  for (std::size_t offset = 0; offset < stream.size();) {
    const std::size_t taken = probe.Read(stream.data() + offset, stream.size() - offset);
    if (taken == 0) break;  // the probe lost its connection
    offset += taken;
    messages += probe.TakeReceived();
  }
  return messages;
}

std::vector<std::uint8_t> Stream(std::uint32_t messageSize, std::size_t count) {
  std::vector<std::uint8_t> stream(messageSize * count, 0x5A);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* m = stream.data() + i * messageSize;
    std::memcpy(m, &messageSize, 4);
  }
  return stream;
}

constexpr std::size_t kStreamBytes = 4 << 20;

void CutStream(benchmark::State& state) {
  const auto size = static_cast<std::uint32_t>(state.range(0));
  const auto stream = Stream(size, kStreamBytes / size);
  simlink::TransportProbe probe(0xFFFFFFFFu);
  std::size_t messages = 0;
  for (auto _ : state) messages += Feed(probe, stream);
  state.SetItemsProcessed(static_cast<std::int64_t>(messages));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

void MemcpyStream(benchmark::State& state) {
  const auto size = static_cast<std::uint32_t>(state.range(0));
  const auto stream = Stream(size, kStreamBytes / size);
  std::vector<std::uint8_t> target(stream.size());
  for (auto _ : state) {
    std::memcpy(target.data(), stream.data(), stream.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (stream.size() / size)));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

}  // namespace

BENCHMARK(CutStream)->Arg(44)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyStream)->Arg(44)->Arg(4096)->Unit(benchmark::kMillisecond);
