// lepotex-cli settings: shows the five settings as the program reads them at start, or the
// built-in defaults, without writing anything.
#include <ostream>

#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "settings/IniSettingsBackend.h"
#include "settings/SettingsError.h"
#include "settings/SettingsPersistence.h"

namespace lepotex::cli {
namespace {

std::string SettingsLocation()
{
#ifdef _WIN32
    return std::string("HKEY_CURRENT_USER\\") + kSettingsKeyName + '\\' + kSettingsSection;
#else
    IniSettingsBackend backend;
    backend.OpenKey(RegistryRoot::CurrentUser, kSettingsKeyName);
    return backend.SectionFile(kSettingsSection);
#endif
}

void PrintUsage(std::ostream& out)
{
    out << "Použití: lepotex-cli settings [--defaults]\n"
           "Vypíše pět nastavení lepení, jak jsou uložena pro současného uživatele, každé na\n"
           "řádek; seznamy po položkách, každou na vlastním řádku za tabulátorem. Za chybějící\n"
           "hodnotu ukáže výchozí, jak ji použije program. Nic nezapisuje.\n"
           "\n"
           "  --defaults  vypíše vestavěná výchozí nastavení\n"
           "  --help      ukáže tento text\n"
           "\n"
           "Řídicí znaky v položkách se ukazují jako \\xNN.\n"
           "Nastavení je uloženo v: "
        << SettingsLocation() << '\n';
}

void PrintList(std::ostream& out, const char* name, const std::vector<std::string>& list)
{
    const std::size_t count = list.size();
    out << name << ": " << count
        << (count == 1 ? " položka" : count >= 2 && count <= 4 ? " položky" : " položek") << '\n';
    for (const std::string& entry : list)
        out << '\t' << Printable(entry) << '\n';
}

void PrintSettings(std::ostream& out, const Settings& settings)
{
    out << "NoCaps: " << (settings.noCaps ? 1 : 0) << '\n'
        << "Indent: " << (settings.indent ? 1 : 0) << '\n'
        << "Indent size: " << int(settings.indentSize) << '\n';
    PrintList(out, "NoGlue", settings.noGlue);
    PrintList(out, "AutoReplace", settings.autoReplace);
}

}  // namespace

int RunSettings(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool defaults = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            PrintUsage(out);
            return kExitOk;
        }
        if (arg != "--defaults") {
            err << "lepotex-cli settings: neznámá volba „" << arg << "“\n\n";
            PrintUsage(err);
            return kExitUsage;
        }
        defaults = true;
    }

    if (StandardStreamClosed(1)) {
        err << "lepotex-cli settings: " << kStandardOutputClosed << '\n';
        return kExitFile;
    }
    if (defaults) {
        PrintSettings(out, Settings::Defaults());
        return kExitOk;
    }
    Settings settings;
    try {
        SettingsStore store;
        ReadSettings(settings, store);
    } catch (const ESettingsError& error) {
        err << "lepotex-cli settings: " << error.what() << '\n';
        return kExitFile;
    }
    PrintSettings(out, settings);
    return kExitOk;
}

}  // namespace lepotex::cli
