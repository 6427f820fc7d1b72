#include "settings/SettingsPersistence.h"

namespace lepotex {
namespace {

std::vector<std::string> ReadList(SettingsStore& store, const char* name, std::vector<std::string> (*defaults)())
{
    std::vector<std::string> list = TextToList(store.ReadString(kSettingsSection, name, ""));
    return list.empty() ? defaults() : list;
}

}  // namespace

void ReadSettings(Settings& settings, SettingsStore& store, std::vector<OddSettingsValue>* oddValues)
{
    SettingsStore::OpenGuard open(store);
    // Read as the store reads them; what the text does not say plainly is told.
    auto flag = [&](const char* name, bool defaultValue) {
        const std::string text = store.ReadString(kSettingsSection, name, defaultValue ? "1" : "0");
        const bool value = store.ReadBoolean(kSettingsSection, name, defaultValue);
        if (oddValues && text != "0" && text != "1")
            oddValues->push_back({name, text, value ? "1" : "0"});
        return value;
    };
    settings.noCaps = flag("NoCaps", true);
    settings.indent = flag("Indent", true);
    const std::string size = store.ReadString(kSettingsSection, "Indent size", "4");
    settings.indentSize = uint8_t(store.ReadInteger(kSettingsSection, "Indent size", 4) & 0xFF);
    const std::optional<int32_t> number = ParseStoredInteger(size);
    if (oddValues && (!number || *number < 0 || *number > 255))
        oddValues->push_back({"Indent size", size, std::to_string(settings.indentSize)});
    settings.noGlue = ReadList(store, "NoGlue", DefaultNoGlue);
    settings.autoReplace = ReadList(store, "AutoReplace", DefaultAutoReplace);
    // Added after the first five: settings stored without it read as off.
    settings.smart = flag("Smart", false);
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
