#include "platform/thumbnails/ThumbnailGridFacade.h"

#include "platform/base/Numbers.h"

#include <QVBoxLayout>

namespace plume {
namespace {

// Member values cross as 16-bit integers, as the window hands them over; anything larger is
// brought into that range instead of wrapping round.
int16_t toMemberInt16(const QVariant& value) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? toInt16HalfEven(number) : int16_t(0);
}

// The position of `name` among `names` compared without regard to letter case, or -1.
int indexOfName(const QStringList& names, const QString& name) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

ThumbnailGridFacade::ThumbnailGridFacade(ThumbnailRenderer renderer,
                                         std::shared_ptr<ThumbnailCache> cache, QWidget* parent)
    : QWidget(parent), m_grid(new ThumbnailGrid(std::move(renderer), std::move(cache), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    setFocusProxy(m_grid);
    connect(m_grid, &ThumbnailGrid::picked, this, [this](int index) {
        const QStringList names = m_grid->fileNames();
        if (index < 0 || index >= names.size()) return;
        m_pickedName = names.at(index);
        emit Pick();
    });
}

ThumbnailGridFacade::ThumbnailGridFacade(QWidget* parent)
    : ThumbnailGridFacade(renderPictureThumbnail,
                          std::make_shared<ThumbnailCache>(ThumbnailCache::defaultFolder()),
                          parent) {}

bool ThumbnailGridFacade::setMember(int member, const QVariant& value) {
    switch (member) {
        case kFlag64:
            m_flag64 = value.toBool();
            return true;
        case kFolder:
            m_folder = value.toString();
            return true;
        case kFileType:
            m_type = value.toString();
            return true;
        case kThumbSize:
            m_layout.thumbSize = toMemberInt16(value);
            return true;
        case kColumns:
            m_layout.columns = toMemberInt16(value);
            return true;
        case kRows:
            m_layout.rows = toMemberInt16(value);
            return true;
        case kShowNames:
            m_layout.showNames = value.toBool();
            return true;
        default:
            return false;
    }
}

QVariant ThumbnailGridFacade::member(int member) const {
    switch (member) {
        case kFlag64:
            return m_flag64;
        case kFolder:
            return m_folder;
        case kFileType:
            return m_type;
        case kThumbSize:
            return QVariant::fromValue(int16_t(m_layout.thumbSize));
        case kColumns:
            return QVariant::fromValue(int16_t(m_layout.columns));
        case kRows:
            return QVariant::fromValue(int16_t(m_layout.rows));
        case kShowNames:
            return m_layout.showNames;
        default:
            return {};
    }
}

QVariant ThumbnailGridFacade::invoke(int member) {
    switch (member) {
        case kClear:
            m_pickedName.clear();
            if (m_grid->currentIndex() >= 0)
                m_currentName = m_grid->fileNames().value(m_grid->currentIndex());
            m_grid->clearListing();
            return {};
        case kList:
            ++m_listingCount;
            m_grid->setThumbnailLayout(m_layout);
            m_grid->listFolder(m_folder, m_type);
            m_grid->setCurrentIndex(indexOfName(m_grid->fileNames(), m_currentName));
            return {};
        case kPickedName:
            return m_pickedName;
        default:
            return {};
    }
}

}  // namespace plume
