#pragma once
#include <map>
#include <optional>
#include <string>

#include "settings/SettingsBackend.h"
#include "settings/SettingsError.h"

namespace lepotex {

// Keeps values in memory and can fail at one value name.
class FakeSettingsBackend final : public SettingsBackend {
public:
    struct Log {
        std::map<std::string, std::string> values;
        std::string failingName;
    };

    explicit FakeSettingsBackend(Log& log) : log(log) {}
    Log& log;

    void OpenKey(RegistryRoot, const std::string&) override {}
    void CloseKey() noexcept override {}
    std::optional<std::string> ReadString(const std::string&, const std::string& name) override
    {
        if (name == log.failingName)
            throw InvalidDataTypeError(name);
        return log.values.contains(name) ? std::optional(log.values[name]) : std::nullopt;
    }
    void WriteString(const std::string&, const std::string& name, const std::string& value) override
    {
        if (name == log.failingName)
            throw FailedToSetDataError(name);
        log.values[name] = value;
    }
};

}  // namespace lepotex
