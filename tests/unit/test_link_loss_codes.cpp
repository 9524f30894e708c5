// The link's one mapping from the I/O seam's results to the loss reasons and
// the codes its client calls return after a loss. The codes are written out
// here as numbers: they are what callers see.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "simlink/cclient.h"

namespace {

using platform::IoStatus;
using simlink::LossReason;

struct LossCase {
  const char* name;
  platform::IoResult failure;
  LossReason reason;
  std::uint32_t code;
};

const LossCase kCases[] = {
    {"Cancelled", {IoStatus::Cancelled}, LossReason::Cancelled, 0xC0000120u},
    {"PipeBroken", {IoStatus::PipeBroken}, LossReason::PeerGone, 0xC000014Bu},
    {"ConnectionReset", {IoStatus::ConnectionReset}, LossReason::PeerGone, 0xC000020Du},
    {"RemoteDisconnect", {IoStatus::RemoteDisconnect}, LossReason::PeerGone, 0xC000013Cu},
    {"BufferOverflowOnTcp", {IoStatus::BufferOverflow}, LossReason::OtherError, 0x80000005u},
    {"OtherUnnamed", {IoStatus::Other}, LossReason::OtherError, 0xC0000001u},
    {"OtherPipeDisconnected", {IoStatus::Other, 0xC00000B0u}, LossReason::OtherError, 0xC00000B0u},
    {"OtherConnectionAborted", {IoStatus::Other, 0xC0000241u}, LossReason::OtherError, 0xC0000241u},
    // A Win32 code Wine delivered that names no status is kept as it came.
    {"OtherPlainCode", {IoStatus::Other, 121u}, LossReason::OtherError, 121u},
};

void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }

class LinkLossCodeTest : public ::testing::TestWithParam<LossCase> {};

TEST_P(LinkLossCodeTest, FailureBecomesItsLoss) {
  const LossCase& c = GetParam();
  const simlink::Loss loss = simlink::LossOf(c.failure);
  EXPECT_EQ(loss.reason, c.reason);
  EXPECT_EQ(static_cast<std::uint32_t>(loss.code), c.code) << std::hex << static_cast<std::uint32_t>(loss.code);
}

INSTANTIATE_TEST_SUITE_P(Statuses, LinkLossCodeTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LossCase>& info) { return info.param.name; });

}  // namespace
