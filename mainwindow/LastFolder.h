#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// Where the user last chose or saved a file: the next file dialog of the
// window, of whatever kind, opens there.
class LastFolder
{
public:
    QString path() const { return m_path; }
    // A proposed file name in that folder.
    QString file(const QString &name) const { return QDir(m_path).filePath(name); }
    void remember(const QString &file) { m_path = QFileInfo(file).absolutePath(); }

private:
    QString m_path = QDir::homePath();
};
