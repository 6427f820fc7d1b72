#include "settings/IniSettingsBackend.h"

#include <cassert>
#include <cerrno>

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "editor/Windows1250.h"
#include "settings/SettingsError.h"

namespace lepotex {
namespace {

QString FromBytes(const std::string& bytes)
{
    return QString::fromStdU16String(DecodeWindows1250(bytes));
}

std::string ToBytes(const QString& text)
{
    return EncodeWindows1250(text.toStdU16String());
}

// A value that exists but holds nothing reads as the empty text whatever its type, as an
// empty registry value does.
bool HoldsNoData(const QVariant& value)
{
    if (!value.isValid())
        return true;  // written as @Invalid()
    switch (value.typeId()) {
    case QMetaType::QByteArray: return value.toByteArray().isEmpty();
    case QMetaType::QStringList: return value.toStringList().isEmpty();
    default: return false;
    }
}

// QSettings parses a file once and serves it from a process-wide cache until the file's
// size or time stamp changes, and only the QSettings object that parsed it reports a format
// error. So remember which files did not parse, for as long as the cache would serve them
// (on the one thread that uses the settings, like the cache itself).
class MalformedFiles {
public:
    // True when `ini` (just made for `path`) reports a format error, or when the file is
    // unchanged since an earlier one did.
    static bool Check(const QString& path, const QSettings& ini)
    {
        static QHash<QString, Stamp> malformed;
        const QFileInfo info(path);
        const Stamp stamp{info.size(), info.lastModified()};
        if (ini.status() == QSettings::FormatError) {
            malformed.insert(path, stamp);
            return true;
        }
        const auto it = malformed.constFind(path);
        if (it == malformed.constEnd())
            return false;
        if (*it == stamp)
            return true;
        malformed.erase(it);
        return false;
    }

private:
    struct Stamp {
        qint64 size;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };
};

}  // namespace

std::string DefaultConfigRoot()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QFile::encodeName(xdg).toStdString();
    return QFile::encodeName(QDir::homePath() + "/.config").toStdString();
}

IniSettingsBackend::IniSettingsBackend(std::string userConfigRoot, std::string machineConfigRoot)
    : userConfigRoot(std::move(userConfigRoot)), machineConfigRoot(std::move(machineConfigRoot))
{
}

void IniSettingsBackend::OpenKey(RegistryRoot root, const std::string& keyName)
{
    QString folder = QFile::decodeName(QByteArray::fromStdString(
        root == RegistryRoot::CurrentUser ? userConfigRoot : machineConfigRoot));
    QStringList parts = FromBytes(keyName).split(u'\\', Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.front().compare(u"Software", Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    for (const QString& part : parts)
        folder += u'/' + part;
    keyFolder = QFile::encodeName(folder).toStdString();
    keyOpen = true;
}

void IniSettingsBackend::CloseKey() noexcept
{
    keyOpen = false;
}

std::string IniSettingsBackend::SectionFile(const std::string& section) const
{
    assert(keyOpen);
    return keyFolder + '/' + QFile::encodeName(FromBytes(section)).toStdString() + ".conf";
}

std::optional<std::string> IniSettingsBackend::ReadString(const std::string& section, const std::string& name)
{
    const std::string file = SectionFile(section);
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    // Only settings that are not there mean the defaults. A folder on the way that may not
    // be entered hides them as an unreadable file does.
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw FailedToGetDataError(name);
    }
    // QSettings treats a file it cannot read as empty, which would pass for missing values.
    QSettings ini(path, QSettings::IniFormat);
    if (MalformedFiles::Check(path, ini) || ini.status() != QSettings::NoError ||
        !QFile(path).open(QIODevice::ReadOnly))
        throw FailedToGetDataError(name);
    const QString key = FromBytes(name);
    if (!ini.contains(key))
        return std::nullopt;
    const QVariant value = ini.value(key);
    if (value.typeId() == QMetaType::QString)
        return ToBytes(value.toString());
    // A number or other @Variant, a byte array, or a list that unquoted commas made.
    if (!HoldsNoData(value))
        throw InvalidDataTypeError(name);
    return std::string();
}

void IniSettingsBackend::WriteString(const std::string& section, const std::string& name, const std::string& value)
{
    if (!QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(keyFolder))))
        throw FailedToCreateKeyError(section);
    const QString path = QFile::decodeName(QByteArray::fromStdString(SectionFile(section)));
    QSettings ini(path, QSettings::IniFormat);
    // Writing over a file that did not read whole would drop the lines it failed to read.
    if (MalformedFiles::Check(path, ini) || ini.status() != QSettings::NoError)
        throw FailedToSetDataError(name);
    ini.setValue(FromBytes(name), FromBytes(value));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw FailedToSetDataError(name);
}

}  // namespace lepotex
