// lepotex-cli settings: shows the glue settings as the program reads them at start, or the
// built-in defaults, without writing anything.
#include <ostream>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "settings/IniSettingsBackend.h"
#include "settings/SettingsError.h"
#include "settings/SettingsPersistence.h"
#include "version/Version.h"

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

const std::vector<OptionSpec> kSettingsOptions = {
    {{"defaults"}, "", "vypíše vestavěná výchozí nastavení"},
};

void PrintUsage(std::ostream& out)
{
    out << "Použití: lepotex-cli settings [--defaults]\n"
           "Vypíše nastavení lepení, jak jsou uložena pro současného uživatele, každé na\n"
           "řádek; seznamy po položkách, každou na vlastním řádku za tabulátorem. Za chybějící\n"
           "hodnotu ukáže výchozí, jak ji použije program. Nic nezapisuje.\n"
           "\n"
        << OptionsHelp(kSettingsOptions)
        << "\n"
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
    out << "Smart: " << (settings.smart ? 1 : 0) << '\n';
}

}  // namespace

int RunSettings(const std::vector<std::string>& argList, std::ostream& out, std::ostream& err)
{
    bool defaults = false;
    try {
        const Arguments args(argList, kSettingsOptions);
        if (args.Help()) {
            PrintUsage(out);
            return kExitOk;
        }
        if (args.Version()) {
            out << VersionLine("lepotex-cli") << '\n';
            return kExitOk;
        }
        if (!args.Positional().empty())
            throw UsageError("nečekaný argument „" + args.Positional().front() + "“");
        defaults = args.Has("defaults");
    } catch (const UsageError& error) {
        err << "lepotex-cli settings: " << PrintableName(error.what()) << '\n' << TryHelpLine("settings");
        return kExitUsage;
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
        std::vector<OddSettingsValue> odd;
        ReadSettings(settings, store, &odd);
        ReportOddSettings(odd, "settings", err);
    } catch (const ESettingsError& error) {
        err << "lepotex-cli settings: nastavení nelze přečíst (" << PrintableName(error.what()) << ")\n";
        return kExitFile;
    }
    PrintSettings(out, settings);
    return kExitOk;
}

}  // namespace lepotex::cli
