#include "raster_window/sbImg.h"

#include "platform/base/Numbers.h"
#include "platform/base/Twips.h"
#include "platform/widgets/WindowFrame.h"
#include "raster_window/RasterCopy.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>
#include <memory>

namespace plume {
namespace {

std::unique_ptr<sbImg>& instance() {
    static std::unique_ptr<sbImg> window;
    return window;
}

}  // namespace

sbImg& sbImg::take() {
    if (!instance()) {
        instance() = std::make_unique<sbImg>();
        // A window must go before the application object does, even when nobody released it.
        static const bool routineAdded = (qAddPostRoutine(&sbImg::release), true);
        Q_UNUSED(routineAdded);
    }
    return *instance();
}

void sbImg::release() {
    instance().reset();
}

sbImg::sbImg(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("sbImg"));
    // No title text. An empty title would not do: the platform then shows the program's
    // name in its place; a single space shows nothing.
    setWindowTitle(QStringLiteral(" "));
    // A plain white ground behind the controls.
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_menuBar = new QMenuBar(this);
    // Top-level commands that act at once, with no drop-down under them.
    m_mnCopy = m_menuBar->addAction(QStringLiteral("複写"));
    m_mnCopy->setObjectName(QStringLiteral("mnCopy"));
    m_mnExit = m_menuBar->addAction(QStringLiteral("終了"));
    m_mnExit->setObjectName(QStringLiteral("mnExit"));
    connect(m_mnCopy, &QAction::triggered, this, &sbImg::mnCopy_Click);
    connect(m_mnExit, &QAction::triggered, this, &sbImg::mnExit_Click);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_client);

    m_image1 = new ImageArea(m_client);
    m_image1->setObjectName(QStringLiteral("Image1"));

    m_lbMsg = new QLabel(m_client);
    m_lbMsg->setObjectName(QStringLiteral("lbMsg"));
    m_lbMsg->setAutoFillBackground(true);
    QPalette pale = m_lbMsg->palette();
    pale.setColor(QPalette::Window, QColor(254, 248, 254));
    m_lbMsg->setPalette(pale);
    m_lbMsg->setWordWrap(false);
    m_lbMsg->setFixedHeight(rasterPixels(kRasterMessageTwips));

    m_picture1 = new DrawingSurface(m_client);
    m_picture1->setObjectName(QStringLiteral("Picture1"));

    m_client->installEventFilter(this);
    m_placement = new FramePlacement(*this);
}

sbImg::~sbImg() = default;

void sbImg::Act(int32_t nLf, int32_t nTp, int32_t nWd, int32_t nHi) {
    // Already open: the one modal loop stays the only one.
    if (m_loop) return;
    m_lbMsg->setText(kRasterAskSize);
    const QSize wanted(rasterPixels(nWd), rasterPixels(nHi));
    const double perPixel = twipsPerPixel();
    fitClientArea(wanted);
    // (nLf, nTp) is the outer corner: the window manager's frame starts there.
    m_placement->placeInside(
        QPoint(toInt32HalfEven(nLf / perPixel), toInt32HalfEven(nTp / perPixel)), size());

    // Modal over every other window, with a loop of its own: the other windows take no
    // input, but their timers go on firing.
    setWindowModality(Qt::ApplicationModal);
    show();
    // Showing can settle the menu bar's height; fit once more with the real one.
    fitClientArea(wanted);

    QEventLoop loop;
    m_loop = &loop;
    if (isVisible()) loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
}

void sbImg::fitClientArea(QSize wanted) {
    ensurePolished();
    if (QLayout* own = layout()) own->activate();
    resize(windowSizeForClient(size(), m_client->size(), wanted));
    if (QLayout* own = layout()) own->activate();
}

void sbImg::Form_Resize() {
    if (isMinimized()) return;
    const RasterLayout placed = layoutRasterClient(m_client->size(), m_lbMsg->height());
    m_image1->setGeometry(placed.image);
    m_lbMsg->setGeometry(placed.message);
}

void sbImg::mnCopy_Click() {
    Expected<PicturePtr> raster =
        renderRasterCopy(*m_picture1, m_image1->picture(), m_client->size(), m_image1->size());
    if (!raster) {
        m_lbMsg->setText(raster.error());
        return;
    }
    if (Status copied = putRasterOnClipboard(raster.value()); !copied) {
        m_lbMsg->setText(copied.error());
        return;
    }
    m_lbMsg->setText(kRasterCopied);
}

void sbImg::mnExit_Click() {
    close();
}

void sbImg::closeEvent(QCloseEvent* event) {
    event->accept();
    unload();
}

void sbImg::unload() {
    hide();
    // Nothing is remembered between openings: the picture and the bitmaps go with the window.
    m_image1->setPicture(nullptr);
    if (m_loop) m_loop->exit();
}

void sbImg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Coming back from minimised lays the controls out again.
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

bool sbImg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) Form_Resize();
    return QWidget::eventFilter(watched, event);
}

}  // namespace plume
