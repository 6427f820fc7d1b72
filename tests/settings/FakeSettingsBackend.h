#pragma once
#include <map>
#include <optional>
#include <string>

#include "settings/SettingsBackend.h"
#include "settings/SettingsError.h"

namespace lepotex {

// Keeps values in memory, records how the key is opened, and can fail at one value name.
class FakeSettingsBackend final : public SettingsBackend {
public:
    struct Log {
        int opens = 0;
        int closes = 0;
        std::string keyName;
        std::map<std::string, std::string> values;
        std::string failingName;
    };

    explicit FakeSettingsBackend(Log& log) : log(log) {}

    void OpenKey(RegistryRoot, const std::string& keyName) override
    {
        if (keyName == "unopenable")
            throw FailedToCreateKeyError(keyName);
        ++log.opens;
        log.keyName = keyName;
    }
    void CloseKey() noexcept override { ++log.closes; }

    std::optional<std::string> ReadString(const std::string&, const std::string& name) override
    {
        if (name == log.failingName)
            throw InvalidDataTypeError(name);
        const auto it = log.values.find(name);
        return it == log.values.end() ? std::nullopt : std::optional(it->second);
    }
    void WriteString(const std::string&, const std::string& name, const std::string& value) override
    {
        if (name == log.failingName)
            throw FailedToSetDataError(name);
        log.values[name] = value;
    }

private:
    Log& log;
};

}  // namespace lepotex
