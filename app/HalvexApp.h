#pragma once

#include <memory>

#include "platform/DesktopLauncher.h"
#include "platform/JalaliTodayDate.h"
#include "platform/NoRegistry.h"
#include "platform/QtFileDialogs.h"
#include "platform/QtModalBoxes.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SettingsPasswordStore.h"
#include "store/ContactStore.h"

class Startup;
class SyncKeyring;
class SyncSession;

// The program's services, made once, and the windows opened in their order.
class HalvexApp
{
public:
    HalvexApp();
    ~HalvexApp();

    // Runs the program to its end and gives its exit status.
    int exec();

private:
    QtModalBoxes m_boxes;
    JalaliTodayDate m_today;
    DesktopLauncher m_launcher;
    SettingsPasswordStore m_passwords;
    NoRegistry m_registry;
    QtSoundPlayer m_player;
    QtFileDialogs m_fileDialogs;
    std::unique_ptr<ContactStore> m_store;
    std::unique_ptr<SyncKeyring> m_keyring;
    std::unique_ptr<SyncSession> m_sync;
    std::unique_ptr<Startup> m_startup;
};
