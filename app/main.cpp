#include <QApplication>
#include <QWidget>

#include "ContactStore.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ContactStore store(QCoreApplication::applicationDirPath());
    if (StoreError e = store.Open())
        return 1;
    QWidget w;
    w.setWindowTitle(QStringLiteral("Halvex"));
    w.show();
    return app.exec();
}
