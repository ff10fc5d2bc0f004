#pragma once

#include "platform/PasswordStore.h"

// Application "Brannick", section "Halvex", key "Password": on Linux the [Halvex]
// section of ~/.config/Brannick.conf. The file holds a plain-text password, so
// it is kept readable by its owner only.
class SettingsPasswordStore : public PasswordStore
{
public:
    // An empty configFolder means the user's configuration folder.
    explicit SettingsPasswordStore(QString configFolder = {});

    bool read(QString &value, QString &why) override;
    bool write(const QString &password, QString &why) override;

    QString fileName() const;

private:
    QString m_configFolder;
};
