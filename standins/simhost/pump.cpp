// The value pump: sends each client the value messages that are due and arms
// one timer for the earliest that waits for its period; and the wait for a
// value to have gone out, which end-to-end cases use in place of sleeps.
#include "values_due.h"
#include "sim_host_internal.h"

namespace simhost {

void SimHost::Impl::PumpValues() {
  if (stopping) return;
  std::optional<Clock::time_point> next;
  for (const std::shared_ptr<Client>& client : live) PumpValues(*client, next);
  if (next && (!valueTimerAt || *next < *valueTimerAt)) {
    valueTimerAt = next;
    valueTimer.expires_at(*next);
    valueTimer.async_wait([this](const std::error_code& ec) {
      if (ec) return;
      valueTimerAt.reset();
      PumpValues();
    });
  }
}

void SimHost::Impl::PumpValues(Client& client, std::optional<Clock::time_point>& next) {
  const Clock::time_point now = Clock::now();
  Due due;
  {
    std::lock_guard<std::mutex> lock(mu);
    due = ValuesDue(client.session, values, now, valuePeriod);
    for (DueValue& v : due.values) client.session.MarkSent(v.requestId, now, std::move(v.values));
  }
  if (!due.values.empty()) cv.notify_all();  // WaitForValueSent
  if (due.next && (!next || *due.next < *next)) next = due.next;
  for (DueValue& v : due.values) SendTo(client, std::move(v.message));
}

bool SimHost::WaitForValueSent(const std::string& name, Millis timeout) const {
  return impl_->WaitUntil(timeout, [&] {
    return impl_->current && CurrentValueSent(impl_->current->session, impl_->values, name);
  });
}

}  // namespace simhost
