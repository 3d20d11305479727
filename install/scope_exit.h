// Runs an action when the scope ends, by return or by exception.
#pragma once

#include <utility>

namespace install {

template <typename Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : m_action(std::move(action)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { m_action(); }

 private:
  Action m_action;
};

}  // namespace install
