// The CSqlException an action throws.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "versiondb/versiondb.h"

// Fails the test when the action throws nothing.
inline CSqlException thrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const CSqlException& failure) {
    return failure;
  }
  ADD_FAILURE() << "no CSqlException";
  return CSqlException(-1, "none");
}
