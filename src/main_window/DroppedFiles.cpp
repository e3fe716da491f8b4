#include "main_window/DroppedFiles.h"

#include "platform/metafile/format/MetafileFormat.h"
#include "platform/picture/PictureIo.h"

#include <QFile>
#include <QFileInfo>

namespace plume {

DroppedItem readDropped(const QUrl& url) {
    DroppedItem item;
    if (!url.isLocalFile()) {
        item.name = url.toDisplayString(QUrl::PreferLocalFile);
        return item;
    }
    item.name = url.toLocalFile();
    const QFileInfo info(item.name);
    if (info.isDir()) {
        item.kind = DroppedItem::Kind::Folder;
        return item;
    }
    if (!info.isFile() || info.size() > kMaxPictureFileBytes) return item;
    QFile file(item.name);
    if (!file.open(QIODevice::ReadOnly)) return item;
    QByteArray bytes = file.read(kMaxPictureFileBytes + 1);
    if (bytes.size() > kMaxPictureFileBytes) return item;
    if (!metafile::hasEmfSignature(bytes) && !metafile::hasWmfSignature(bytes)) return item;
    const Expected<PicturePtr> picture = pictureFromBytes(bytes);
    if (!picture || !picture.value()->isVector()) return item;
    item.kind = DroppedItem::Kind::Drawing;
    item.bytes = std::move(bytes);
    item.picture = picture.value();
    return item;
}

QString dropStatus(const QStringList& created, const QString& firstRefused) {
    if (firstRefused.isEmpty()) {
        if (created.size() == 1) return created.first() + QStringLiteral(" を作成しました");
        if (created.size() > 1)
            return QStringLiteral("%1 など %2 ﾌｧｲﾙを作成しました")
                .arg(created.last())
                .arg(created.size());
        return {};
    }
    // The refusal comes first and names the file alone, so that a narrow status line still
    // shows it.
    const QString name = QFileInfo(firstRefused).fileName();
    QString text = (name.isEmpty() ? firstRefused : name) +
                   QStringLiteral(" はﾒﾀ画像 (EMF, WMF) ではないため取り込めません");
    if (!created.isEmpty()) text += QStringLiteral("、%1 ﾌｧｲﾙを作成しました").arg(created.size());
    return text;
}

}  // namespace plume
