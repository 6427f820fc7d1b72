#pragma once
// The settings backend where there is no registry: one INI file per section, through
// QSettings, at <config root>/<key>/<section>.conf. A leading "Software" of the key is
// dropped, so the program's settings live in ~/.config/Zuvra/Lepotex 1.2.conf.
//
// Values are stored as the Unicode that their Windows-1250 bytes stand for, so the file is
// readable and editable in UTF-8 and every byte value reads back exactly.
#include <string>

#include "settings/SettingsBackend.h"

namespace lepotex {

// $XDG_CONFIG_HOME when it is set to an absolute path, else ~/.config.
[[nodiscard]] std::string DefaultConfigRoot();

class IniSettingsBackend : public SettingsBackend {
public:
    // The roots are local file-system paths; the machine-wide one serves
    // RegistryRoot::LocalMachine.
    explicit IniSettingsBackend(std::string userConfigRoot = DefaultConfigRoot(),
                                std::string machineConfigRoot = "/etc/xdg");

    // Creates nothing on disk: the folder is made by the first write, so reading the
    // settings never leaves an empty folder behind.
    void OpenKey(RegistryRoot root, const std::string& keyName) override;
    void CloseKey() noexcept override;
    [[nodiscard]] std::optional<std::string> ReadString(const std::string& section,
                                                       const std::string& name) override;
    void WriteString(const std::string& section, const std::string& name, const std::string& value) override;

    // Where a section's values are kept (the open key's folder), as a local path.
    [[nodiscard]] std::string SectionFile(const std::string& section) const;

private:
    std::string userConfigRoot;
    std::string machineConfigRoot;
    std::string keyFolder;  // the open key's folder, meaningful only while keyOpen
    bool keyOpen = false;
};

}  // namespace lepotex
