#pragma once

#include <memory>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "mainwindow/FrmMain.h"
#include "platform/Fonts.h"
#include "platform/NoRegistry.h"
#include "tests/support/DataFiles.h"
#include "tests/support/FixedTodayDate.h"
#include "tests/support/MemoryPasswordStore.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/support/ScriptedFileDialogs.h"

// A main window on a data folder of its own, with scripted boxes, a fixed date
// and a launcher that only records. Window tests inherit it beside QObject.
class MainWindowHarness
{
protected:
    void setUpHarness()
    {
        Fonts::install();
        m_dir = std::make_unique<QTemporaryDir>();
        m_boxes.reset();
        m_launcher.opened.clear();
        m_date.reads.clear();
        m_passwords = MemoryPasswordStore();
        m_player = RecordingSoundPlayer();
        m_fileDialogs = ScriptedFileDialogs();
        m_io = nullptr;
    }
    void tearDownHarness()
    {
        m_main.reset();
        m_store.reset();
        m_dir.reset();
    }

    // The store is made here, as the program makes it, with the test's I/O seam
    // if any; the other services are the stand-ins below.
    FrmMainServices makeServices()
    {
        m_store = std::make_unique<ContactStore>(m_dir->path(), m_io);
        return {*m_store,    m_boxes,    m_date,   m_launcher,
                m_passwords, m_registry, m_player, m_fileDialogs};
    }

    // Creates the window; its timer is stopped so ticks are driven by hand.
    void makeWindow(bool load = true)
    {
        m_main = std::make_unique<FrmMain>(makeServices());
        m_main->timer()->stop();
        if (load)
            QVERIFY(m_main->Form_Load());
    }

    template <typename T> T *child(const char *name)
    {
        T *w = m_main->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    void writeData(const QByteArray &bytes) { QVERIFY(datafiles::write(m_dir->path(), bytes)); }
    QByteArray data() const { return datafiles::read(m_dir->path()); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedBoxes m_boxes;
    FixedTodayDate m_date;
    RecordingLauncher m_launcher;
    MemoryPasswordStore m_passwords;
    NoRegistry m_registry;
    RecordingSoundPlayer m_player;
    ScriptedFileDialogs m_fileDialogs;
    StoreIo *m_io = nullptr; // set before makeWindow to inject faults
    std::unique_ptr<ContactStore> m_store;
    std::unique_ptr<FrmMain> m_main;
};
