#include "app/qt/ini_settings_store.h"

#include "app/settings_rules.h"

namespace t2tk::app {

namespace {

QString KeyPath(const char* section, const char* key)
{
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

}  // namespace

IniSettingsStore::IniSettingsStore(const QString& path) : m_settings(path, QSettings::IniFormat) {}

int IniSettingsStore::ReadInt(const char* section, const char* key, int defaultValue)
{
    const QVariant value = m_settings.value(KeyPath(section, key));
    // A value with a comma reads as a list, which is no number either.
    if (value.typeId() != QMetaType::QString) {
        return defaultValue;
    }
    return ParseSettingInt(value.toString().toStdString(), defaultValue);
}

std::string IniSettingsStore::ReadText(const char* section, const char* key)
{
    const QVariant value = m_settings.value(KeyPath(section, key));
    return value.typeId() == QMetaType::QString ? value.toString().toStdString() : std::string();
}

void IniSettingsStore::WriteInt(const char* section, const char* key, int value)
{
    m_settings.setValue(KeyPath(section, key), value);
}

void IniSettingsStore::WriteText(const char* section, const char* key, const std::string& value)
{
    m_settings.setValue(KeyPath(section, key), QString::fromStdString(value));
}

// One write of the whole file, however many values changed.
void IniSettingsStore::Save()
{
    m_settings.sync();
}

}  // namespace t2tk::app
