#include "cli/Arguments.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>

namespace lepotex::cli {
namespace {

// Arguments go through QString as Latin-1, one character per byte, and come back the same
// way: a file name that is not valid UTF-8 reaches the file system as it was typed.
QString FromBytes(const std::string& bytes) { return QString::fromLatin1(bytes.data(), qsizetype(bytes.size())); }
std::string ToBytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string Dashed(const std::string& name) { return (name.size() == 1 ? "-" : "--") + name; }

std::string AllNames(const OptionSpec& option)
{
    std::string text;
    for (const std::string& name : option.names)
        text += (text.empty() ? "" : "/") + Dashed(name);
    return text;
}

// The option named between the quotes of one of the parser's own (English) error texts.
std::string QuotedName(const QString& error)
{
    const qsizetype first = error.indexOf(u'\'');
    const qsizetype last = error.lastIndexOf(u'\'');
    return first >= 0 && last > first ? ToBytes(error.mid(first + 1, last - first - 1)) : std::string();
}

const OptionSpec kHelpOption{{"h", "help"}, "", "ukáže tento text"};
const OptionSpec kVersionOption{{"version"}, "", "vypíše verzi programu"};

}  // namespace

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& table)
{
    std::vector<OptionSpec> all = table;
    all.push_back(kHelpOption);
    all.push_back(kVersionOption);

    QCommandLineParser parser;
    // -ox is -o with the value x, -vj4 is -v -j 4; long options always take two dashes.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const OptionSpec& option : all) {
        QStringList names;
        for (const std::string& name : option.names)
            names << FromBytes(name);
        QCommandLineOption qtOption(names);
        if (!option.valueName.empty())
            qtOption.setValueName(FromBytes(option.valueName));
        parser.addOption(qtOption);
    }
    QStringList qtArgs{QStringLiteral("lepotex-cli")};
    for (const std::string& arg : args)
        qtArgs << FromBytes(arg);
    if (!parser.parse(qtArgs)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            throw UsageError("neznámá volba „" + Dashed(ToBytes(unknown.front())) + "“");
        const QString error = parser.errorText();
        const std::string name = QuotedName(error);
        if (error.startsWith(QLatin1String("Missing value")))
            throw UsageError("volba " + name + " potřebuje hodnotu");
        if (error.startsWith(QLatin1String("Unexpected value")))
            throw UsageError("volba " + name + " nemá hodnotu");
        throw UsageError(ToBytes(error));
    }

    for (const OptionSpec& option : all) {
        const QString first = FromBytes(option.names.front());
        if (!parser.isSet(first))
            continue;
        std::vector<std::string> optionValues;
        for (const QString& value : parser.values(first))
            optionValues.push_back(ToBytes(value));
        // Two outputs, two lists or two sizes: which one was meant cannot be guessed.
        if (!option.valueName.empty() && optionValues.size() > 1)
            throw UsageError("volba " + AllNames(option) + " je zadána víckrát");
        for (const std::string& name : option.names) {
            given[name] = true;
            values[name] = optionValues;
        }
    }
    help = Has("help");
    version = Has("version");
    for (const QString& arg : parser.positionalArguments())
        positional.push_back(ToBytes(arg));
}

bool Arguments::Has(const std::string& name) const { return given.contains(name); }

std::optional<std::string> Arguments::Value(const std::string& name) const
{
    const auto found = values.find(name);
    if (found == values.end() || found->second.empty())
        return std::nullopt;
    return found->second.front();
}

std::string OptionsHelp(const std::vector<OptionSpec>& table)
{
    std::vector<OptionSpec> all = table;
    all.push_back(kHelpOption);
    all.push_back(kVersionOption);
    constexpr std::size_t kColumn = 22;  // where the descriptions begin
    std::string text;
    for (const OptionSpec& option : all) {
        std::string head = "  ";
        for (std::size_t i = 0; i < option.names.size(); ++i)
            head += (i ? ", " : "") + Dashed(option.names[i]);
        if (!option.valueName.empty())
            head += " " + option.valueName;
        // The column is counted in characters: a UTF-8 continuation byte takes none.
        const auto width = std::size_t(std::count_if(head.begin(), head.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
        std::string description = option.help;
        std::string indent(kColumn, ' ');
        for (std::size_t at = 0; (at = description.find('\n', at)) != std::string::npos; at += 1 + kColumn)
            description.replace(at, 1, "\n" + indent);
        if (width < kColumn)
            text += head + std::string(kColumn - width, ' ') + description + '\n';
        else
            text += head + '\n' + indent + description + '\n';
    }
    return text;
}

std::string TryHelpLine(const std::string& command)
{
    return "Zkuste „lepotex-cli " + (command.empty() ? std::string() : command + " ") + "--help“.\n";
}

}  // namespace lepotex::cli
