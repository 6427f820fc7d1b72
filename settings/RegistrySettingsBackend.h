#pragma once
// The settings backend of Windows: the registry through its ANSI interface, so the values
// hold the Windows-1250 bytes as the system's ANSI code page text. Built only on Windows.
#ifdef _WIN32
#include <memory>

#include "settings/SettingsBackend.h"

namespace lepotex {

[[nodiscard]] std::unique_ptr<SettingsBackend> MakeRegistrySettingsBackend();

}  // namespace lepotex
#endif
