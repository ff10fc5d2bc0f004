#include "SettingsPasswordStore.h"

#include <memory>

#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kApplication = QStringLiteral("Brannick");
const QString kKey = QStringLiteral("Halvex/Password");

// QSettings writes through a new file, so a mode set once would be lost.
class OwnerOnlyUmask
{
public:
    OwnerOnlyUmask() : m_old(::umask(077)) {}
    ~OwnerOnlyUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

SettingsPasswordStore::SettingsPasswordStore(QString configFolder)
    : m_configFolder(std::move(configFolder))
{
}

// Named by hand: the INI format would call the file Brannick.ini.
static std::unique_ptr<QSettings> open(const QString &folder)
{
    const QString dir =
        folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         : folder;
    return std::make_unique<QSettings>(dir + u'/' + kApplication + QStringLiteral(".conf"),
                                       QSettings::IniFormat);
}

QString SettingsPasswordStore::fileName() const
{
    return open(m_configFolder)->fileName();
}

QString SettingsPasswordStore::read()
{
    return open(m_configFolder)->value(kKey).toString();
}

bool SettingsPasswordStore::write(const QString &password)
{
    std::unique_ptr<QSettings> settings = open(m_configFolder);
    if (settings->status() != QSettings::NoError)
        return false;
    const QVariant before = settings->value(kKey);
    // An empty password is stored as an empty text, never removed.
    settings->setValue(kKey, password);
    {
        OwnerOnlyUmask privateFiles;
        settings->sync();
    }
    const bool ok = settings->status() == QSettings::NoError;
    const QString path = settings->fileName();
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!ok) {
        // QSettings shares unsaved changes between its objects for one file: take
        // the value back, so that no later read in this process sees it.
        if (before.isValid())
            settings->setValue(kKey, before);
        else
            settings->remove(kKey);
    }
    return ok;
}
