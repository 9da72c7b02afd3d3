#include "app/settings_store.h"

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

void IniSettingsStore::WriteInt(const char* section, const char* key, int value)
{
    m_settings.setValue(KeyPath(section, key), value);
    m_settings.sync();
}

}  // namespace t2tk::app
