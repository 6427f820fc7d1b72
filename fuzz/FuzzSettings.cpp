// Any bytes as the settings file: reading gives settings or a settings error, never a crash;
// settings that were read, written to a fresh file and read again come back the same.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "settings/IniSettingsBackend.h"
#include "settings/SettingsError.h"
#include "settings/SettingsPersistence.h"
#include "settings/SettingsStore.h"

using namespace lepotex;

namespace {

std::string SettingsFile(const std::string& root)
{
    IniSettingsBackend backend(root, root + "/machine");
    backend.OpenKey(RegistryRoot::CurrentUser, kSettingsKeyName);
    const std::string file = backend.SectionFile(kSettingsSection);
    backend.CloseKey();
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string root = fuzz::TempPath("config");
    static const std::string rewritten = fuzz::TempPath("config-rewritten");
    static const std::string file = SettingsFile(root);
    std::filesystem::remove_all(rewritten);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    fuzz::WriteFile(file, std::string_view(reinterpret_cast<const char*>(data), size));

    Settings read = Settings::Defaults();
    try {
        SettingsStore store(std::make_unique<IniSettingsBackend>(root, root + "/machine"));
        ReadSettings(read, store);
    } catch (const ESettingsError&) {
        return 0;  // reported as an error, as it must be
    }

    SettingsStore fresh(std::make_unique<IniSettingsBackend>(rewritten, rewritten + "/machine"));
    SaveSettings(read, fresh);
    Settings again;
    ReadSettings(again, fresh);
    FUZZ_CHECK(again == read);
    return 0;
}
