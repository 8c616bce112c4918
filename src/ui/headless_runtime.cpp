// The headless runtime: virtual clock, scripted pop-up picks.
#include "ui/headless_runtime.h"

namespace vigilon::ui {

HeadlessRuntime::~HeadlessRuntime() = default;

void HeadlessRuntime::Advance(uint64_t milliseconds) {
  const uint64_t target = now_ + milliseconds;
  while (!ended()) {
    Timer* next = nullptr;
    Due best{};
    for (const auto& [timer, due] : due_) {
      if (due.at > target) continue;
      if (next == nullptr || due.at < best.at || (due.at == best.at && due.order < best.order)) {
        next = timer;
        best = due;
      }
    }
    if (next == nullptr) break;
    now_ = best.at;
    // Reschedule before firing, so that a handler changing its own timer has the last word.
    due_[next] = Due{now_ + next->interval(), best.order};
    EventScope scope(*this);
    next->Fire();
  }
  if (!ended()) now_ = target;
}

void HeadlessRuntime::DoEvents() {
  // Nothing is pending without a user; timers move only with Advance.
  ++doEventsCalls;
  if (eventDepth() == 0) FlushGraveyard();
}

void HeadlessRuntime::BroadcastTaskbarCreated() {
  const std::vector<Form*> forms = this->forms();
  for (Form* form : forms) form->DeliverTaskbarCreated();
}

void HeadlessRuntime::TimerChanged(Timer& timer) {
  if (!timer.Running()) {
    due_.erase(&timer);
    return;
  }
  due_[&timer] = Due{now_ + timer.interval(), ++order_};
}

void HeadlessRuntime::TimerGone(Timer& timer) {
  due_.erase(&timer);
}

Menu* HeadlessRuntime::TrackPopup(Form& form, Menu& menu) {
  popups.push_back(menu.name());
  if (popupPicks.empty()) return nullptr;
  const std::string pick = popupPicks.front();
  popupPicks.pop_front();
  for (Menu* entry : menu.Entries()) {
    if (entry->name() == pick && entry->visible() && entry->enabled()) return entry;
  }
  (void)form;  // one cursor for every form
  return nullptr;
}

}  // namespace vigilon::ui
