// The flood: value messages for every request of the current client, as fast
// as it reads them. One batch is in writing at a time and the next goes when
// it completed, so the socket stays full while the host's own queue stays
// small. The batch is built again only after what it holds may have changed.
#include "values_due.h"
#include "sim_host_internal.h"

namespace simhost {
namespace {

// A batch big enough that each write is worth its completion.
constexpr std::size_t kFloodBatchBytes = 16384;

}  // namespace

void SimHost::Impl::SetFlooding(bool on) {
  if (on == flood.on) return;
  flood.on = on;
  if (on) {
    flood.ticksBefore = ticking;
    StartTicks();
    FloodNext();
  } else if (!flood.ticksBefore) {
    StopTicks();
  }
}

// Writes the next batch unless one is still in hand; a batch that was written
// counts and asks for the next.
void SimHost::Impl::FloodNext() {
  if (!flood.on || flood.writing || Active() == nullptr || stopping) return;
  RefreshFloodBatch();
  if (flood.batchMessages == 0) return;  // nothing requested yet: a request calls again
  flood.writing = true;
  const std::uint64_t count = flood.batchMessages, size = flood.batch.size();
  Active()->Send(flood.batch, {}, [this, count, size] {
    flood.messages += count;
    flood.bytes += size;
    ++flood.batches;
    flood.writing = false;
    FloodNext();
  });
}

// One value message per request that serves values, with its current values,
// the round repeated up to the batch size.
void SimHost::Impl::RefreshFloodBatch() {
  std::lock_guard<std::mutex> lock(mu);
  if (flood.batchGeneration == dataGeneration) return;
  flood.batchGeneration = dataGeneration;
  if (!current) return;
  Bytes round;
  std::uint64_t perRound = 0;
  for (const DueValue& v : ValuesDue(current->session, values, Clock::now(), std::nullopt).values) {
    round.insert(round.end(), v.message.begin(), v.message.end());
    ++perRound;
  }
  flood.batch.clear();
  flood.batchMessages = 0;
  if (perRound == 0) return;
  while (flood.batch.size() < kFloodBatchBytes) {
    flood.batch.insert(flood.batch.end(), round.begin(), round.end());
    flood.batchMessages += perRound;
  }
}

}  // namespace simhost
