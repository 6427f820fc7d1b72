#pragma once
// The command line of a sub-command, read by QCommandLineParser against a table of options.
// Long options take their value as "--name VALUE" or "--name=VALUE", short ones also as
// "-nVALUE", and short flags combine ("-vj4"); "--" ends the options. Each command adds an
// option by adding a row to its table: the parser and the --help text are made from it.
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lepotex::cli {

struct OptionSpec {
    std::vector<std::string> names;  // "o", "output": one letter is -o, more are --output
    std::string valueName;           // empty for a flag
    std::string help;                // Czech; "\n" starts a further line of the description
};

// A wrong command line: the message names the problem in one line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    // Parses `args` (without the program and command names) against `table`, to which
    // -h/--help and --version are added. Throws UsageError for an unknown option, a missing
    // or unexpected value, and a value option given more than once.
    Arguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& table);

    bool Help() const { return help; }
    bool Version() const { return version; }
    // Whether the option (any of its names) was given.
    bool Has(const std::string& name) const;
    // The value of a value option, if given.
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Positional() const { return positional; }

private:
    std::map<std::string, std::vector<std::string>> values;  // by every name of the option
    std::map<std::string, bool> given;
    std::vector<std::string> positional;
    bool help = false;
    bool version = false;
};

// The table as help lines: "  -o, --output OUT    text", descriptions aligned in one column.
std::string OptionsHelp(const std::vector<OptionSpec>& table);

// The one line after a usage error that tells where help is: Zkuste „lepotex-cli glue --help“.
std::string TryHelpLine(const std::string& command);

}  // namespace lepotex::cli
