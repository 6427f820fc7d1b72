#include "settings/RegistrySettingsBackend.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>

#include "settings/SettingsError.h"

namespace lepotex {
namespace {

// Closes a sub-key on every way out.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle()
    {
        if (handle)
            RegCloseKey(handle);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;

    HKEY handle = nullptr;
};

class RegistrySettingsBackend : public SettingsBackend {
public:
    ~RegistrySettingsBackend() override { CloseKey(); }

    void OpenKey(RegistryRoot root, const std::string& keyName) override
    {
        const HKEY rootKey = root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        if (RegCreateKeyExA(rootKey, keyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS) {
            key = nullptr;
            throw FailedToCreateKeyError(keyName);
        }
    }

    void CloseKey() noexcept override
    {
        if (key)
            RegCloseKey(key);
        key = nullptr;
    }

    std::optional<std::string> ReadString(const std::string& section, const std::string& name) override
    {
        KeyHandle sub;
        if (RegOpenKeyExA(key, section.c_str(), 0, KEY_READ, &sub.handle) != ERROR_SUCCESS)
            return std::nullopt;
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegQueryValueExA(sub.handle, name.c_str(), nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (result != ERROR_SUCCESS)
            throw FailedToGetDataError(name);
        if (size == 0)
            return std::string();
        // An expandable string is read as stored, nothing expanded.
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw InvalidDataTypeError(name);
        std::string data(size, '\0');
        result = RegQueryValueExA(sub.handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &size);
        if (result != ERROR_SUCCESS)
            throw FailedToGetDataError(name);
        data.resize(std::min<std::size_t>(size, data.size()));
        return data.substr(0, data.find('\0'));
    }

    void WriteString(const std::string& section, const std::string& name, const std::string& value) override
    {
        KeyHandle sub;
        if (RegCreateKeyExA(key, section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                            &sub.handle, nullptr) != ERROR_SUCCESS)
            throw FailedToCreateKeyError(section);
        // The data length counts the terminating NUL.
        if (RegSetValueExA(sub.handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD(value.size() + 1)) != ERROR_SUCCESS)
            throw FailedToSetDataError(name);
    }

private:
    HKEY key = nullptr;  // the open key; null while closed
};

}  // namespace

std::unique_ptr<SettingsBackend> MakeRegistrySettingsBackend()
{
    return std::make_unique<RegistrySettingsBackend>();
}

}  // namespace lepotex
#endif
