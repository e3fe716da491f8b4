// svgpng IN.svg SIZE OUT.png
// Renders an SVG image to a square PNG of SIZE pixels, transparent where the image draws
// nothing. The build makes the installed icon's fixed sizes from its scalable drawing with it.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: svgpng IN.svg SIZE OUT.png\n", stderr);
        return 2;
    }
    // Rendering needs no display: the offscreen platform spares the X connection.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int size = QByteArray(argv[2]).toInt();
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid() || size < 1 || size > 4096) {
        std::fprintf(stderr, "svgpng: cannot render %s at size %s\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "svgpng: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
