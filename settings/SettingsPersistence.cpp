#include "settings/SettingsPersistence.h"

namespace lepotex {
namespace {

std::vector<std::string> ReadList(SettingsStore& store, const char* name, std::vector<std::string> (*defaults)())
{
    std::vector<std::string> list = TextToList(store.ReadString(kSettingsSection, name, ""));
    return list.empty() ? defaults() : list;
}

}  // namespace

void ReadSettings(Settings& settings, SettingsStore& store)
{
    SettingsStore::OpenGuard open(store);
    settings.noCaps = store.ReadBoolean(kSettingsSection, "NoCaps", true);
    settings.indent = store.ReadBoolean(kSettingsSection, "Indent", true);
    settings.indentSize = uint8_t(store.ReadInteger(kSettingsSection, "Indent size", 4) & 0xFF);
    settings.noGlue = ReadList(store, "NoGlue", DefaultNoGlue);
    settings.autoReplace = ReadList(store, "AutoReplace", DefaultAutoReplace);
    // Added after the first five: settings stored without it read as off.
    settings.smart = store.ReadBoolean(kSettingsSection, "Smart", false);
}

void LoadSettings(Settings& settings, SettingsStore& store)
{
    ReadSettings(settings, store);
    SaveSettings(settings, store);
}

void SaveSettings(const Settings& settings, SettingsStore& store)
{
    SettingsStore::OpenGuard open(store);
    store.WriteBoolean(kSettingsSection, "NoCaps", settings.noCaps);
    store.WriteBoolean(kSettingsSection, "Indent", settings.indent);
    store.WriteInteger(kSettingsSection, "Indent size", settings.indentSize);
    store.WriteString(kSettingsSection, "NoGlue", ListToText(settings.noGlue));
    store.WriteString(kSettingsSection, "AutoReplace", ListToText(settings.autoReplace));
    store.WriteBoolean(kSettingsSection, "Smart", settings.smart);
}

}  // namespace lepotex
