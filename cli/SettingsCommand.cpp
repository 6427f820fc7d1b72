// lepotex-cli settings: shows the glue settings as the program reads them at start, or the
// built-in defaults, without writing anything.
#include <ostream>

#include "cli/Commands.h"
#include "editor/Windows1250.h"
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
           "Vypíše nastavení lepení, jak jsou uložena pro současného uživatele, každé na\n"
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

// The entry as UTF-8 for a terminal; control characters are escaped so that a stored
// escape sequence cannot drive the terminal.
std::string Printable(const std::string& entry)
{
    std::string shown;
    for (const char c : entry) {
        const auto byte = uint8_t(c);
        const char16_t unicode = Windows1250ToUnicode(byte);
        if ((unicode < 0x20 && byte != '\t') || (unicode >= 0x7F && unicode <= 0x9F)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += Windows1250ToUtf8(std::string_view(&c, 1));
        }
    }
    return shown;
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
