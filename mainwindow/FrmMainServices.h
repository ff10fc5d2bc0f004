#pragma once

class ContactStore;
class FileDialogs;
class Launcher;
class ModalBoxes;
class PasswordStore;
class Registry;
class SoundPlayer;
class SyncSession;
class TodayDate;

// What the main window works with, owned by whoever opens it.
struct FrmMainServices
{
    ContactStore &store;
    ModalBoxes &boxes;
    TodayDate &date;
    Launcher &launcher;
    PasswordStore &passwords;
    Registry &registry;
    SoundPlayer &player;
    FileDialogs &fileDialogs;
    // The sync account's side in the window; none: the list's menu offers no sync.
    SyncSession *sync = nullptr;
};
