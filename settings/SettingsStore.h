#pragma once
// A key/value store of named text values under a key and its sections, the way the
// program keeps its settings per user. Flags and numbers are text on top of ReadString and
// WriteString; the platform sits behind a SettingsBackend (the registry on Windows, an INI
// file elsewhere).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "settings/SettingsBackend.h"

namespace lepotex {

// The program's key under the user's root (HKEY_CURRENT_USER\Software\Zuvra on Windows,
// ~/.config/Zuvra elsewhere).
inline constexpr char kSettingsKeyName[] = "Software\\Zuvra";

// The backend of this platform: the current user's registry on Windows, else an INI file
// per section under $XDG_CONFIG_HOME (or ~/.config).
[[nodiscard]] std::unique_ptr<SettingsBackend> MakePlatformSettingsBackend();

class SettingsStore {
public:
    explicit SettingsStore(std::unique_ptr<SettingsBackend> backend = MakePlatformSettingsBackend());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Open and Close bracket every use and nest: the first Open opens (creating) the key,
    // the Close that brings the count back to 0 closes it; a Close at 0 does nothing.
    // The Read and Write calls open the store themselves for their own duration.
    void Open();
    void Close() noexcept;
    [[nodiscard]] int OpenCount() const noexcept { return openCount; }

    // Leading and trailing backslashes are stripped. Both take effect at the next first Open.
    void SetKeyName(std::string_view name);
    [[nodiscard]] const std::string& KeyName() const noexcept { return keyName; }
    void SetRoot(RegistryRoot newRoot) noexcept { root = newRoot; }
    [[nodiscard]] RegistryRoot Root() const noexcept { return root; }

    // A missing section or value gives the default. Errors are ESettingsError.
    [[nodiscard]] std::string ReadString(const std::string& section, const std::string& name,
                                         const std::string& defaultValue);
    void WriteString(const std::string& section, const std::string& name, const std::string& value);
    // True exactly when the text begins with "1" (so "10" is true, "yes" and "" are false).
    [[nodiscard]] bool ReadBoolean(const std::string& section, const std::string& name, bool defaultValue);
    void WriteBoolean(const std::string& section, const std::string& name, bool value);
    // The text parsed by ParseStoredInteger; the default when it does not parse whole.
    [[nodiscard]] int32_t ReadInteger(const std::string& section, const std::string& name, int32_t defaultValue);
    void WriteInteger(const std::string& section, const std::string& name, int32_t value);

    // Keeps the store open for a scope, so an exception cannot leave it open.
    class OpenGuard {
    public:
        explicit OpenGuard(SettingsStore& store) : store(store) { store.Open(); }
        ~OpenGuard() { store.Close(); }
        OpenGuard(const OpenGuard&) = delete;
        OpenGuard& operator=(const OpenGuard&) = delete;

    private:
        SettingsStore& store;
    };

private:
    std::unique_ptr<SettingsBackend> backend;
    std::string keyName = kSettingsKeyName;
    RegistryRoot root = RegistryRoot::CurrentUser;
    int openCount = 0;  // invariant: the backend's key is open exactly while openCount > 0
};

// The stored form of a number: leading spaces, then an optional sign and decimal digits, or
// a hexadecimal number after "$", "x", "X", "0x" or "0X". Nothing else may follow, and the
// value must fit a 32-bit signed integer (so hexadecimal goes up to 7FFFFFFF); otherwise
// std::nullopt.
[[nodiscard]] std::optional<int32_t> ParseStoredInteger(std::string_view text) noexcept;

}  // namespace lepotex
