#pragma once

#include <memory>

#include "ContactStore.h"
#include "DesktopLauncher.h"
#include "JalaliTodayDate.h"
#include "NoRegistry.h"
#include "QtFileDialogs.h"
#include "QtModalBoxes.h"
#include "QtSoundPlayer.h"
#include "SettingsPasswordStore.h"

class Startup;

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
    std::unique_ptr<Startup> m_startup;
};
