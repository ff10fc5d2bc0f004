#include <QApplication>

#include "DesktopLauncher.h"
#include "Fonts.h"
#include "FrmMain.h"
#include "JalaliTodayDate.h"
#include "QtModalBoxes.h"
#include "Translations.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex"));
    QApplication::setApplicationVersion(QStringLiteral(HALVEX_VERSION));
    Fonts::install();
    Translations::install();

    QtModalBoxes boxes;
    JalaliTodayDate today;
    DesktopLauncher launcher;

    FrmMain main(QCoreApplication::applicationDirPath(), boxes, today, launcher);
    if (!main.Form_Load())
        return 1;
    main.show();
    return app.exec();
}
