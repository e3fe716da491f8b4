#include "platform/widgets/PictureView.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPainter>
#include <QPromise>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace plume {

QThreadPool& PictureView::drawingPool() {
    // Owned by the application object, whose end waits for the drawings still running; each
    // was told to stop when its view went.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        return made;
    }();
    return *pool;
}

PictureView::PictureView(QWidget* parent, QColor emptyFill, Renderer renderer, bool stretches)
    : QWidget(parent), m_emptyFill(emptyFill), m_renderer(renderer), m_stretches(stretches) {
    if (m_emptyFill.isValid()) setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureView::~PictureView() {
    abandonDrawing();
}

void PictureView::setPicture(PicturePtr picture) {
    m_picture = std::move(picture);
    startDrawing();
}

const QImage& PictureView::shownImage() {
    drawIfStale();
    return m_shown;
}

bool PictureView::isDrawing() const {
    return m_watcher || size() != m_drawnSize;
}

void PictureView::drawIfStale() {
    if (size() != m_drawnSize) startDrawing();
}

void PictureView::startDrawing() {
    abandonDrawing();
    m_drawnSize = size();
    const auto draw = [renderer = m_renderer, picture = m_picture,
                       size = m_drawnSize](const metafile::RenderOptions& options) {
        metafile::RenderStats stats;
        Expected<QImage> image = renderer(picture.get(), size, options, &stats);
        return image ? Drawing{std::move(image.value()), stats.cutOff} : Drawing{};
    };
    // Without a picture, or without room, nothing is played: the view's ground is made at once.
    if (!m_picture || m_drawnSize.isEmpty()) {
        showDrawing(draw({}));
        return;
    }
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto promise = std::make_shared<QPromise<Drawing>>();
    auto* watcher = new QFutureWatcher<Drawing>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const QFuture<Drawing> future = watcher->future();
        Drawing drawing = future.resultCount() > 0 ? future.result() : Drawing{};
        m_watcher = nullptr;
        m_stop.reset();
        watcher->deleteLater();
        showDrawing(std::move(drawing));
    });
    watcher->setFuture(promise->future());
    m_watcher = watcher;
    m_stop = stop;
    promise->start();
    drawingPool().start([promise, stop, draw] {
        metafile::RenderOptions options;
        options.shouldStop = [stop] { return stop->load(); };
        // A drawing abandoned before it began is not begun.
        promise->addResult(stop->load() ? Drawing{} : draw(options));
        promise->finish();
    });
}

void PictureView::abandonDrawing() {
    if (m_stop) m_stop->store(true);
    m_stop.reset();
    if (!m_watcher) return;
    // Whatever the worker still hands back goes nowhere.
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
}

void PictureView::showDrawing(Drawing drawing) {
    m_shown = std::move(drawing.image);
    m_shownCutOff = drawing.cutOff;
    update();
    emit drawn(m_shownCutOff);
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    drawIfStale();
}

void PictureView::paintEvent(QPaintEvent*) {
    drawIfStale();
    const bool covers = !m_shown.isNull() && (m_stretches || m_shown.size() == size());
    if (!covers && !m_emptyFill.isValid() && m_shown.isNull()) return;
    QPainter painter(this);
    if (!covers && m_emptyFill.isValid()) painter.fillRect(rect(), m_emptyFill);
    if (m_shown.isNull()) return;
    // An older drawing stands in until the new one is done: stretched over the view where the
    // view stretches its picture, otherwise as it was, from the top-left corner.
    if (m_stretches)
        painter.drawImage(rect(), m_shown);
    else
        painter.drawImage(0, 0, m_shown);
}

}  // namespace plume
