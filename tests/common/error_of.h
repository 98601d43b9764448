// The error number of the platform failure an action throws, or 0 when it
// throws none. Every failure must carry a description.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "platform/platform.h"

inline std::uint32_t ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::Failure& failure) {
    EXPECT_FALSE(failure.Description().empty());
    return failure.Number();
  }
  return 0;
}
