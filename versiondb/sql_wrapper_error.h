// The wrapper's own failures: code 1000, whose name is "SQLDB_ERROR".
#pragma once

#include <cstdint>

constexpr int32_t kWrapperError = 1000;

// A cursor without a statement, read or asked for a scalar.
constexpr const char* kNoStatementText = "Null Virtual Machine pointer";
