#include <QApplication>

#include "app/HalvexApp.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    HalvexApp halvex;
    return halvex.exec();
}
