#pragma once

class ContactStore;
class FileDialogs;
class Launcher;
class ModalBoxes;
class PasswordStore;
class Registry;
class SoundPlayer;
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
};
