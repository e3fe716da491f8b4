#include "main_window/PreviewLoad.h"

#include "platform/picture/PictureIo.h"
#include "platform/widgets/PictureView.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QPromise>
#include <QThreadPool>

namespace plume {

bool loadsAtOnce(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > PreviewLoad::kAtOnceBytes) return false;
    QImageReader reader(path);
    const QSize size = reader.size();
    return !size.isValid() || qint64(size.width()) * size.height() <= PreviewLoad::kAtOncePixels;
}

PreviewLoad::PreviewLoad(QObject* parent) : QObject(parent) {}

PreviewLoad::~PreviewLoad() {
    abandon();
}

void PreviewLoad::load(const QString& path) {
    abandon();
    if (loadsAtOnce(path)) {
        emit loaded(path, loadPicture(path));
        return;
    }
    m_path = path;
    auto promise = std::make_shared<QPromise<Expected<PicturePtr>>>();
    m_watcher = new QFutureWatcher<Expected<PicturePtr>>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &PreviewLoad::deliver);
    m_watcher->setFuture(promise->future());
    promise->start();
    // The preview's own threads: a load is the first step of a drawing.
    PictureView::drawingPool().start([promise, path] {
        promise->addResult(loadPicture(path));
        promise->finish();
    });
}

void PreviewLoad::finish() {
    if (!m_watcher) return;
    m_watcher->waitForFinished();
    deliver();
}

void PreviewLoad::abandon() {
    if (!m_watcher) return;
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
}

void PreviewLoad::deliver() {
    if (!m_watcher) return;
    const QFuture<Expected<PicturePtr>> future = m_watcher->future();
    const Expected<PicturePtr> picture =
        future.resultCount() > 0 ? future.result()
                                 : Expected<PicturePtr>::failure(QStringLiteral("読み込めません"));
    abandon();
    emit loaded(m_path, picture);
}

}  // namespace plume
