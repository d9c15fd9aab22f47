// A device setting the client shares with the updater; the updater only
// exports its attach accessors.
#pragma once

#include <cstdint>

class WindowsDeviceConfig {
 public:
  WindowsDeviceConfig();
  WindowsDeviceConfig(uint32_t deviceKind, uint32_t options);

  // The client's own readers; inline, so they are no part of the export table.
  uint32_t deviceKind() const { return deviceKind_; }
  uint32_t options() const { return options_; }

  void setAttach(bool attach);

  // The client's declaration returns a const bool; the qualifier is part of
  // the exported name on Windows, so it stays although GCC calls it pointless.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
#endif
  const bool getAttach() const;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

 private:
  uint32_t deviceKind_;
  bool attach_;
  uint32_t options_;
};
