#pragma once
#include <stdexcept>
#include <string>

namespace lepotex {

// A settings value that could not be read or written. The message is the one the user
// reads, with the value's or the section's name in it (UTF-8).
class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The four messages of the store, with the name (Windows-1250 bytes) put in.
[[nodiscard]] ESettingsError InvalidDataTypeError(const std::string& name);
[[nodiscard]] ESettingsError FailedToGetDataError(const std::string& name);
[[nodiscard]] ESettingsError FailedToSetDataError(const std::string& name);
[[nodiscard]] ESettingsError FailedToCreateKeyError(const std::string& key);

}  // namespace lepotex
