// Runs a clean-up when the scope it guards ends, on every path out of it,
// unless dismissed first. For the portable code, which owns no platform
// handles; the platform's handles have their owners in base/win.
#pragma once

#include <utility>

namespace tvn {

template <typename CleanUp>
class ScopeGuard {
 public:
  explicit ScopeGuard(CleanUp cleanUp) noexcept : cleanUp_(std::move(cleanUp)) {}
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;
  // The moved-from guard no longer runs its clean-up; the new one does.
  ScopeGuard(ScopeGuard&& other) noexcept : cleanUp_(std::move(other.cleanUp_)), active_(other.active_) {
    other.active_ = false;
  }
  ScopeGuard& operator=(ScopeGuard&&) = delete;
  ~ScopeGuard() {
    if (active_) cleanUp_();
  }

  // The clean-up is not wanted any more (the work it would undo succeeded).
  void Dismiss() noexcept { active_ = false; }

 private:
  CleanUp cleanUp_;
  bool active_ = true;
};

// ScopeGuard with the clean-up's type deduced, for compilers without class
// template argument deduction: `auto guard = MakeScopeGuard([&] { ... });`
template <typename CleanUp>
ScopeGuard<CleanUp> MakeScopeGuard(CleanUp cleanUp) noexcept {
  return ScopeGuard<CleanUp>(std::move(cleanUp));
}

}  // namespace tvn
