#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QStringList>

#include "platform/Registry.h"

namespace Ui {
class frmAbout;
}
class Launcher;
class ModalBoxes;

// The about dialog: the program's name and version, and a button that starts
// the system-information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    enum class KeyLookup
    {
        NotFound,
        Found,
        Unreadable // a value with no data at all: reported like any other failure
    };

    frmAbout(Registry &registry, Launcher &launcher, ModalBoxes &boxes, QWidget *parent = nullptr);
    ~frmAbout() override;

    // Beeps, then shows the one about dialog modeless, or brings the open one to
    // the front. The dialog has no parent, so it keeps the program running after
    // the main window has closed, and ends it when it closes last.
    static frmAbout *showSingle(Registry &registry, Launcher &launcher, ModalBoxes &boxes,
                                const std::function<void()> &beep = {});

    static QString title();
    static QString version();
    // Tried in this order when the registry names no tool.
    static QStringList sysInfoPrograms();
    static bool isNormalFile(const QString &path);

    // Seams for the file check and the PATH search.
    void setFileCheck(std::function<bool(const QString &)> isFile);
    void setProgramFinder(std::function<QString(const QString &)> find);

    void StartSysInfo();
    KeyLookup GetKeyValue(Registry::Key keyRoot, const QString &keyName, const QString &subKeyRef,
                          QString &keyVal);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    QString findSysInfoProgram() const;
    void showUnavailable();

    std::unique_ptr<Ui::frmAbout> m_ui;
    Registry &m_registry;
    Launcher &m_launcher;
    ModalBoxes &m_boxes;
    std::function<bool(const QString &)> m_isFile;
    std::function<QString(const QString &)> m_findProgram;
};
