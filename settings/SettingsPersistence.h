#pragma once
// Reading and writing the Settings record through the store, value by value in a fixed
// order, so that an error stops at the value it names.
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace lepotex {

// The store's section that holds the values.
inline constexpr char kSettingsSection[] = "Lepotex 1.2";

// Reads the values in the order NoCaps, Indent, Indent size, NoGlue, AutoReplace, Smart;
// a missing value gives its default and a list that reads empty gets the default entries.
// Indent size keeps the low 8 bits of the stored number. On an ESettingsError the values
// read before the failing one are in `settings` and the rest keep what they held.
void ReadSettings(Settings& settings, SettingsStore& store);

// What the program does at start: ReadSettings, then SaveSettings, so that every missing
// value is stored with its default. An error while reading writes nothing.
void LoadSettings(Settings& settings, SettingsStore& store);

// Writes the values in the same order; on an ESettingsError the values before the
// failing one stay written.
void SaveSettings(const Settings& settings, SettingsStore& store);

}  // namespace lepotex
