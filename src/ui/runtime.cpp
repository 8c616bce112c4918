// Event nesting, deferred destruction of unloaded forms and the program's end.
#include "ui/runtime.h"

#include <algorithm>

#include "ui/controls.h"

namespace vigilon::ui {

Runtime::~Runtime() {
  // Forms still buried belong to this runtime's last handler; free them before the platform
  // they may reach goes away.
  graveyard_.clear();
}

Runtime::EventScope::~EventScope() {
  if (--runtime_.eventDepth_ == 0) runtime_.FlushGraveyard();
}

void Runtime::End() {
  if (ended_) return;
  ended_ = true;
  OnEnd();
}

std::unique_ptr<FormPeer> Runtime::CreateFormPeer(Form&) {
  return nullptr;
}

void Runtime::FormLoaded(Form& form) {
  forms_.push_back(&form);
}

void Runtime::FormUnloaded(Form& form, bool unloaded) {
  auto it = std::find(forms_.begin(), forms_.end(), &form);
  if (it == forms_.end()) return;
  forms_.erase(it);
  // The program ends when its last form goes, headless or not.
  if (forms_.empty() && unloaded) End();
}

void Runtime::Bury(std::unique_ptr<Form> form) {
  graveyard_.push_back(std::move(form));
  if (eventDepth_ == 0) FlushGraveyard();
}

void Runtime::FlushGraveyard() {
  // Destroying a form can run no handler (it is torn down), but move the list out first so
  // that a destructor burying another form cannot invalidate the loop.
  while (!graveyard_.empty()) {
    std::vector<std::unique_ptr<Form>> dead;
    dead.swap(graveyard_);
    dead.clear();
  }
}

}  // namespace vigilon::ui
