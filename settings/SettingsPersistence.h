#pragma once
// Reading and writing the Settings record through the store, value by value in a fixed
// order, so that an error stops at the value it names.
#include <string>
#include <vector>

#include "settings/Settings.h"
#include "settings/SettingsStore.h"

namespace lepotex {

// The store's section that holds the values.
inline constexpr char kSettingsSection[] = "Lepotex 1.2";

// Reads the values in the order NoCaps, Indent, Indent size, NoGlue, AutoReplace, Smart;
// a missing value gives its default and a list that reads empty gets the default entries.
// Indent size keeps the low 8 bits of the stored number. On an ESettingsError the values
// read before the failing one are in `settings` and the rest keep what they held.
// Values that are not what their key holds (a flag neither 0 nor 1, an indent size that is
// no number from 0 to 255) are read as always, and listed in `oddValues` when given.
struct OddSettingsValue {
    std::string name;   // "Indent size"
    std::string value;  // as stored, Windows-1250
    std::string used;   // what it was read as: "4"
};
void ReadSettings(Settings& settings, SettingsStore& store, std::vector<OddSettingsValue>* oddValues = nullptr);

// What the program does at start: ReadSettings, then SaveSettings, so that every missing
// value is stored with its default. An error while reading writes nothing.
void LoadSettings(Settings& settings, SettingsStore& store);

// Writes the values in the same order; on an ESettingsError the values before the
// failing one stay written.
void SaveSettings(const Settings& settings, SettingsStore& store);

}  // namespace lepotex
