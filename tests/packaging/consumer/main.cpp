// Shapes nothing on screen: only proves the header, the library and its Qt come along.
#include <cstdio>

#include <QApplication>
#include <QPixmap>

#include <Pelliform/Skin.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QPixmap picture(12, 7);
    picture.fill(Qt::red);
    Skin skin;
    skin.setPicture(picture);
    skin.setTranColor(Qt::white);
    if (skin.size() != QSize(12, 7) || skin.tranColor() != QColor(Qt::white)) {
        std::fprintf(stderr, "Skin did not take its picture\n");
        return 1;
    }
    std::puts("Pelliform::Skin works");
    return 0;
}
