// Opening the fake host libraries and resetting the binding's process-wide
// state between tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "fake_host_record.h"

// dlopen of the fake host library `name` (RTLD_NOW, local unless `global`),
// with its record cleared.
void* openFakeHost(const std::string& name, bool global = false);
FakeHostRecord& recordOf(void* host);

// Empties the API table and the start offset, unhides every name, and does
// the same again afterwards.
class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
