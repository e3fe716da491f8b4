// libFuzzer target: any bytes through the picture loader (metafile or raster, chosen by
// content) and, when a picture comes out, rendered into a small image.

#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"

#include <QGuiApplication>
#include <QPainter>
#include <cstddef>
#include <cstdint>

namespace {

QGuiApplication* application() {
    static int argc = 1;
    static char name[] = "LoadAndRenderFuzzer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's notices about odd images would flood the fuzzer's output.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return new QGuiApplication(argc, argv);
    }();
    return app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    application();
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    plume::Expected<plume::PicturePtr> picture = plume::pictureFromBytes(bytes);
    if (!picture) return 0;
    QImage image(96, 72, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRectF target(0, 0, image.width(), image.height());
    if (const auto& document = picture.value()->document()) {
        // A shorter limit than the program's keeps slow inputs from stalling the search.
        plume::metafile::RenderOptions options;
        options.timeLimitMs = 250;
        plume::metafile::render(*document, painter, target, options);
    } else {
        plume::paintPicture(painter, *picture.value(), target);
    }
    return 0;
}
