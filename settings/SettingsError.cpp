#include "settings/SettingsError.h"

#include "editor/Windows1250.h"

namespace lepotex {

ESettingsError InvalidDataTypeError(const std::string& name)
{
    return ESettingsError("Invalid data type for '" + Windows1250ToUtf8(name) + "'");
}

ESettingsError FailedToGetDataError(const std::string& name)
{
    return ESettingsError("Failed to get data for '" + Windows1250ToUtf8(name) + "'");
}

ESettingsError FailedToSetDataError(const std::string& name)
{
    return ESettingsError("Failed to set data for '" + Windows1250ToUtf8(name) + "'");
}

ESettingsError FailedToCreateKeyError(const std::string& key)
{
    return ESettingsError("Failed to create key " + Windows1250ToUtf8(key));
}

}  // namespace lepotex
