#include "clienttypes/windows_device_config.h"

WindowsDeviceConfig::WindowsDeviceConfig() : deviceKind_(0), attach_(false), options_(0) {}

WindowsDeviceConfig::WindowsDeviceConfig(uint32_t deviceKind, uint32_t options)
    : deviceKind_(deviceKind), attach_(false), options_(options) {}

void WindowsDeviceConfig::setAttach(bool attach) { attach_ = attach; }

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
#endif
const bool WindowsDeviceConfig::getAttach() const { return attach_; }
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
