#include "settings/SettingsStore.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdint>
#include <utility>

#include "settings/IniSettingsBackend.h"
#include "settings/RegistrySettingsBackend.h"

namespace lepotex {

std::unique_ptr<SettingsBackend> MakePlatformSettingsBackend()
{
#ifdef _WIN32
    return MakeRegistrySettingsBackend();
#else
    return std::make_unique<IniSettingsBackend>();
#endif
}

SettingsStore::SettingsStore(std::unique_ptr<SettingsBackend> backend) : backend(std::move(backend))
{
    assert(this->backend);
}

SettingsStore::~SettingsStore()
{
    if (openCount > 0)
        backend->CloseKey();
}

void SettingsStore::Open()
{
    if (openCount == 0)
        backend->OpenKey(root, keyName);  // may throw; the count then stays 0
    ++openCount;
}

void SettingsStore::Close() noexcept
{
    if (openCount == 0)
        return;
    if (--openCount == 0)
        backend->CloseKey();
}

void SettingsStore::SetKeyName(std::string_view name)
{
    const std::size_t first = name.find_first_not_of('\\');
    if (first == std::string_view::npos) {
        keyName.clear();
        return;
    }
    keyName = name.substr(first, name.find_last_not_of('\\') - first + 1);
}

std::string SettingsStore::ReadString(const std::string& section, const std::string& name,
                                      const std::string& defaultValue)
{
    OpenGuard open(*this);
    std::optional<std::string> text = backend->ReadString(section, name);
    if (!text)
        return defaultValue;
    // Stored text ends at its first NUL, as a registry string does.
    text->resize(std::min(text->size(), text->find('\0')));
    return std::move(*text);
}

void SettingsStore::WriteString(const std::string& section, const std::string& name, const std::string& value)
{
    OpenGuard open(*this);
    backend->WriteString(section, name, value);
}

bool SettingsStore::ReadBoolean(const std::string& section, const std::string& name, bool defaultValue)
{
    const std::string text = ReadString(section, name, defaultValue ? "1" : "0");
    return !text.empty() && text[0] == '1';
}

void SettingsStore::WriteBoolean(const std::string& section, const std::string& name, bool value)
{
    WriteString(section, name, value ? "1" : "0");
}

int32_t SettingsStore::ReadInteger(const std::string& section, const std::string& name, int32_t defaultValue)
{
    const std::string text = ReadString(section, name, std::to_string(defaultValue));
    return ParseStoredInteger(text).value_or(defaultValue);
}

void SettingsStore::WriteInteger(const std::string& section, const std::string& name, int32_t value)
{
    WriteString(section, name, std::to_string(value));
}

std::optional<int32_t> ParseStoredInteger(std::string_view text) noexcept
{
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(' ')));
    int base = 10;
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            text.remove_prefix(prefix.size());
            base = 16;
            break;
        }
    }
    bool negative = false;
    if (base == 10 && !text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Read the magnitude unsigned, so "-2147483648" fits and a second sign is rejected.
    uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || text[0] == '+' || text[0] == '-')
        return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    const uint64_t limit = negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX);
    if (magnitude > limit)
        return std::nullopt;
    return negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
}

}  // namespace lepotex
