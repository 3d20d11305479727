// What the dialog does when the user forces it closed while the worker is
// busy, and the program's tear-down after it: the thread is released, told to
// stop, not waited for; the window goes, then the worker's binding.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "test_dialog.h"
#include "ui/update_bindings.h"

inline void ForcedCloseAndTearDown(std::unique_ptr<CWorkerBinding>& binding, TestDialog& dialog) {
  binding->Detach();
  binding->StopRunning();
  EXPECT_EQ(binding->Join(), 0u) << "a released thread is not waited for";
  dialog.Destroy();
  binding.reset();
}
