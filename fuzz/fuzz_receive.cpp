// The receive path: arbitrary bytes, cut into arbitrary reads, go through the
// link's message cutting and receive queue into the bridge's dispatch, with
// the supported unit holding a loaded profile.
//
// Input: byte 0 bit 0 picks the largest message accepted (the default, or the
// largest receive buffer); byte 1 is N and the next N bytes are read sizes,
// used in turn (0: all that is left); the rest is the stream. After each read
// the dispatch call drains the queue, as the bridge's loop does.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/dispatch.h"
#include "fuzz_world.h"
#include "platform/module_path.h"
#include "profiles/json_loader.h"

namespace {

// The profile every input starts from; the GLOBAL profile beside this program,
// which a reload from the stream loads too.
std::unique_ptr<rapidjson::Document> startProfile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzworld::Unit();
  startProfile = DeserializeJson(platform::ModuleDirectory() + fuzzworld::Unit().name + "_Config.json").document;
  if (!startProfile) __builtin_trap();  // the build puts it there
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  HidDevice& unit = fuzzworld::Unit();
  simlink::TransportProbe probe((data[0] & 1) != 0 ? simlink::kReceiveBufferLimit : simlink::kDefaultMaxReceiveSize);
  simHandle = probe.handle();
  simRunning = false;
  aircraftProfileDir.clear();
  unit.showBindings = false;
  fuzzworld::DropBindings(unit);
  unit.LoadBindings(*startProfile);

  const std::size_t cuts = std::min<std::size_t>(data[1], size - 2);
  const std::uint8_t* sizes = data + 2;
  const std::uint8_t* stream = sizes + cuts;
  std::size_t left = size - 2 - cuts;
  for (std::size_t i = 0; left > 0 && !probe.lost(); ++i) {
    std::size_t want = cuts == 0 ? left : sizes[i % cuts];
    if (want == 0 || want > left) want = left;
    const std::size_t taken = probe.Read(stream, want);
    if (taken == 0) break;
    stream += taken;
    left -= taken;
    if (SimConnect_CallDispatch(simHandle, DispatchCallback, nullptr) < 0) break;
  }
  // What was queued before a loss is still delivered.
  SimConnect_CallDispatch(simHandle, DispatchCallback, nullptr);
  simHandle = nullptr;
  return 0;
}
