#pragma once
// The platform's side of the settings store: named text values under a key and a section
// (the registry's key and sub-key, or a folder and a file). The store builds flags, numbers
// and its Open/Close nesting on top of these four calls.
#include <optional>
#include <string>

namespace lepotex {

enum class RegistryRoot { CurrentUser, LocalMachine };

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;

    // Opens the key (a path of names separated by backslashes, none at either end) under
    // the root, creating it when missing; the store calls this only while no key is open.
    virtual void OpenKey(RegistryRoot root, const std::string& keyName) = 0;
    virtual void CloseKey() noexcept = 0;

    // The text of a value in the open key's section; std::nullopt when the section or the
    // value does not exist. Throws ESettingsError for a value that cannot be read or that
    // holds data of another type; a value with no data is the empty text whatever its type.
    [[nodiscard]] virtual std::optional<std::string> ReadString(const std::string& section,
                                                               const std::string& name) = 0;
    // Sets the value, creating the section when missing; throws ESettingsError.
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
};

}  // namespace lepotex
