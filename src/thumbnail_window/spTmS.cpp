#include "thumbnail_window/spTmS.h"

#include "environment/YIni.h"
#include "platform/base/Numbers.h"
#include "platform/base/Paths.h"
#include "platform/base/Twips.h"
#include "platform/widgets/WindowFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace plume {
namespace {

const QString kGroup = QStringLiteral("THUMB");
const QString kKeyColumns = QStringLiteral("列数");
const QString kKeyRows = QStringLiteral("行数");
const QString kKeySize = QStringLiteral("PC_SIZE");
const QString kKeyLeft = QStringLiteral("LEFT");
const QString kKeyTop = QStringLiteral("TOP");
const QString kKeyWidth = QStringLiteral("WIDTH");
const QString kKeyHeight = QStringLiteral("HEIGHT");
const QString kKeyNames = QStringLiteral("DISP_NAME");
const QString kFileType = QStringLiteral("wmf");

// The height of the option strip's pane at design time, in twips.
constexpr double kStripTwips = 450;

int pixels(double twips) {
    return toInt32HalfEven(twips / twipsPerPixel());
}

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

// The leading number of a field's text as it is saved. An overflowing text ("1e999") is
// brought into the 32-bit range so that the settings never hold an infinity.
double savedNumber(const QString& text) {
    const double number = leadingNumber(text);
    if (std::isnan(number)) return 0;
    return std::clamp(number, double(std::numeric_limits<int32_t>::min()),
                      double(std::numeric_limits<int32_t>::max()));
}

// The leading number of a field's text as the grid takes it: rounded half to even and
// brought into the 16-bit range instead of wrapping round.
int16_t gridNumber(const QString& text) {
    return toInt16HalfEven(leadingNumber(text));
}

}  // namespace

QString thumbSizeDigits(int size) {
    const QString digits = QString::number(std::abs(qint64(size))).rightJustified(3, u'0');
    return size < 0 ? QStringLiteral("-") + digits : digits;
}

spTmS::spTmS()
    : spTmS(renderPictureThumbnail,
            std::make_shared<ThumbnailCache>(ThumbnailCache::defaultFolder())) {}

spTmS::spTmS(ThumbnailRenderer renderer, std::shared_ptr<ThumbnailCache> cache)
    : QWidget(nullptr, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("spTmS"));
    m_IkThumb = new ThumbnailGridFacade(std::move(renderer), std::move(cache));
    buildControls();
    resize(pixels(kDesignClientWidth), pixels(kDesignClientHeight));
    m_placement = new FramePlacement(*this);
    // A window manager may keep the focus elsewhere (focus-stealing prevention) and never
    // activate the window; its thumbnails are listed all the same once it is up.
    m_activationFallback = new QTimer(this);
    m_activationFallback->setObjectName(QStringLiteral("activationFallback"));
    m_activationFallback->setSingleShot(true);
    m_activationFallback->setInterval(250);
    connect(m_activationFallback, &QTimer::timeout, this, [this] {
        if (isVisible()) Form_Activate();
    });
}

spTmS::~spTmS() = default;

void spTmS::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_Splitter = new QSplitter(Qt::Vertical, this);
    m_Splitter->setObjectName(QStringLiteral("Splitter"));
    m_Splitter->setChildrenCollapsible(false);
    layout->addWidget(m_Splitter);

    // Pane A: the option strip, its controls at their design places.
    m_Frame1 = new QFrame;
    m_Frame1->setObjectName(QStringLiteral("Frame1"));
    m_Frame1->setFrameShape(QFrame::NoFrame);
    m_Frame1->setMinimumHeight(pixels(kStripTwips));
    const char* captions[4] = {"列数", "行数", "画像ｻｲｽﾞ", "(ﾋﾟｸｾﾙ)"};
    const QRect labelPlaces[4] = {twipsRect(135, 90, 420, 225), twipsRect(1455, 90, 450, 225),
                                  twipsRect(2790, 90, 765, 225), twipsRect(4350, 120, 900, 225)};
    for (int i = 0; i < 4; ++i) {
        m_Label1[i] = new QLabel(QString::fromUtf8(captions[i]), m_Frame1);
        m_Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        m_Label1[i]->setGeometry(labelPlaces[i].adjusted(0, -2, 8, 4));
    }
    auto makeField = [this](const char* name, const QRect& place) {
        auto* field = new QLineEdit(m_Frame1);
        field->setObjectName(QString::fromLatin1(name));
        field->setGeometry(place);
        return field;
    };
    m_txCL = makeField("txCL", twipsRect(525, 45, 750, 300));
    m_txRw = makeField("txRw", twipsRect(1875, 45, 750, 300));
    m_txSz = makeField("txSz", twipsRect(3570, 45, 750, 300));
    m_chFn = new QCheckBox(QStringLiteral("ﾌｧｲﾙ名を表示する"), m_Frame1);
    m_chFn->setObjectName(QStringLiteral("chFn"));
    m_chFn->setGeometry(twipsRect(5265, 30, 1830, 390));
    m_ssRbn = new QToolButton(m_Frame1);
    m_ssRbn->setObjectName(QStringLiteral("ssRbn"));
    m_ssRbn->setText(QStringLiteral("再表示"));
    m_ssRbn->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_ssRbn->setIconSize(QSize(16, 16));
    m_ssRbn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_ssRbn->setGeometry(twipsRect(7095, 0, 1020, 375));
    setTabOrder(m_txCL, m_txRw);
    setTabOrder(m_txRw, m_txSz);
    setTabOrder(m_txSz, m_chFn);
    m_Splitter->addWidget(m_Frame1);

    // Pane B: the thumbnail control, taking what the strip leaves.
    m_IkThumb->setObjectName(QStringLiteral("IkThumb"));
    m_Splitter->addWidget(m_IkThumb);
    m_Splitter->setStretchFactor(0, 0);
    m_Splitter->setStretchFactor(1, 1);
    // The strip's controls are placed by hand, so it has no size of its own to offer: it
    // takes its design height (450 twips), the thumbnails the rest.
    m_Frame1->setMinimumHeight(pixels(kStripHeight));

    connect(m_IkThumb, &ThumbnailGridFacade::Pick, this, &spTmS::IkThumb_Pick);
    connect(m_ssRbn, &QToolButton::clicked, this, [this] { ssRbn_Click(0); });
}

void spTmS::placeFrameTwips(double left, double top, double width, double height) {
    // The rectangle is the whole window; the client area is what the frame leaves.
    m_placement->placeFrame(twipsRect(left, top, width, height));
}

void spTmS::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    const int strip = pixels(kStripHeight);
    m_Splitter->setSizes({strip, std::max(1, m_Splitter->height() - strip)});
}

void spTmS::Act(QWidget& xFrm, const QString& sPh, QString& sFL) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_loaded = true;
    m_sFolder = sPh;
    m_IkThumb->setCurrentName(sFL);
    sFL.clear();
    setWindowTitle(m_sFolder);
    m_IkThumb->setMember(ThumbnailGridFacade::kFlag64, true);

    const double tpp = twipsPerPixel();
    const QRect owner = xFrm.frameGeometry();
    placeFrameTwips(owner.x() * tpp, owner.y() * tpp, 0.98 * xFrm.width() * tpp,
                    0.98 * xFrm.height() * tpp);
    IniThumb(false);
    QGuiApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();

    // Modal over the whole program, with no owner window; the loop ends when the window is
    // hidden, by a pick or by its close box.
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    m_modalLoop = &loop;
    // The thumbnails take the keys: arrows move, Enter picks, Escape closes.
    m_IkThumb->setFocus();
    show();
    raise();
    activateWindow();
    m_activationFallback->start();
    if (isVisible()) loop.exec(QEventLoop::DialogExec);
    m_modalLoop = nullptr;

    sFL = m_sChosen;
    if (m_loaded) {
        Form_QueryUnload();
        Form_Unload();
    }
}

bool spTmS::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    return QWidget::event(event);
}

void spTmS::closeEvent(QCloseEvent* event) {
    // The close box unloads the window; the unload is never refused.
    if (m_loaded) {
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
}

void spTmS::keyPressEvent(QKeyEvent* event) {
    // Escape closes without a pick, as the close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void spTmS::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_modalLoop) m_modalLoop->quit();
}

void spTmS::Form_Activate() {
    if (m_bActivated || !m_loaded) return;
    m_bActivated = true;
    DspThumb();
}

void spTmS::Form_QueryUnload() {
    IniThumb(true);
}

void spTmS::Form_Unload() {
    m_loaded = false;
    m_bActivated = false;
    m_sFolder.clear();
    m_sChosen.clear();
    // The window's controls go with it: the fields start empty at the next load, and the
    // thumbnails are released.
    m_txCL->clear();
    m_txRw->clear();
    m_txSz->clear();
    m_chFn->setChecked(false);
    m_IkThumb->invoke(ThumbnailGridFacade::kClear);
    hide();
}

void spTmS::IkThumb_Pick() {
    m_sChosen = m_IkThumb->invoke(ThumbnailGridFacade::kPickedName).toString();
    hide();
}

void spTmS::ssRbn_Click(int16_t) {
    m_IkThumb->setMember(ThumbnailGridFacade::kThumbSize, gridNumber(m_txSz->text()));
    m_IkThumb->setMember(ThumbnailGridFacade::kColumns, gridNumber(m_txCL->text()));
    m_IkThumb->setMember(ThumbnailGridFacade::kRows, gridNumber(m_txRw->text()));
    m_IkThumb->setMember(ThumbnailGridFacade::kShowNames, m_chFn->isChecked());
    DspThumb();
}

void spTmS::DspThumb() {
    m_IkThumb->setMember(ThumbnailGridFacade::kFolder, m_sFolder);
    m_IkThumb->setMember(ThumbnailGridFacade::kFileType, kFileType);
    const int size = m_IkThumb->member(ThumbnailGridFacade::kThumbSize).toInt();
    m_thumbDataFileName = joinPath(
        m_sFolder, QStringLiteral("Thmb") + thumbSizeDigits(size) + QStringLiteral(".Dat"));
    m_IkThumb->invoke(ThumbnailGridFacade::kClear);
    m_IkThumb->invoke(ThumbnailGridFacade::kList);
}

void spTmS::IniThumb(bool bSav) {
    const auto yIni = YIni::take();
    yIni->GetGtx(kGroup);
    if (bSav) {
        const double tpp = twipsPerPixel();
        const QRect frame = m_placement->frame();
        yIni->SetVal(kKeyLeft, static_cast<float>(frame.x() * tpp));
        yIni->SetVal(kKeyTop, static_cast<float>(frame.y() * tpp));
        yIni->SetVal(kKeyWidth, static_cast<float>(frame.width() * tpp));
        yIni->SetVal(kKeyHeight, static_cast<float>(frame.height() * tpp));
        // What the fields hold now, applied with "再表示" or not.
        yIni->SetVal(kKeyColumns, savedNumber(m_txCL->text()));
        yIni->SetVal(kKeyRows, savedNumber(m_txRw->text()));
        yIni->SetVal(kKeySize, savedNumber(m_txSz->text()));
        yIni->SetVal(kKeyNames, m_chFn->isChecked());
        yIni->SetGtx();
        return;
    }
    auto readWhole = [&](const QString& key, int16_t fallback) {
        return toInt32HalfEven(yIni->vGtVal(key, fallback).number());
    };
    const int32_t columns = readWhole(kKeyColumns, 3);
    const int32_t rows = readWhole(kKeyRows, 5);
    const int32_t size = readWhole(kKeySize, 200);
    const int32_t left = readWhole(kKeyLeft, 0);
    const int32_t top = readWhole(kKeyTop, 0);
    const int32_t width = readWhole(kKeyWidth, 0);
    const int32_t height = readWhole(kKeyHeight, 0);
    if (width > 0 && height > 0) placeFrameTwips(left, top, width, height);
    const SettingValue names = yIni->vGtVal(kKeyNames, false);
    const bool showNames = names.isTruth() && names.truth();

    m_txCL->setText(QString::number(columns));
    m_txRw->setText(QString::number(rows));
    m_txSz->setText(QString::number(size));
    m_chFn->setChecked(showNames);
    // The grid takes 16-bit values: larger stored numbers are brought into that range.
    m_IkThumb->setMember(ThumbnailGridFacade::kColumns, toInt16HalfEven(columns));
    m_IkThumb->setMember(ThumbnailGridFacade::kRows, toInt16HalfEven(rows));
    m_IkThumb->setMember(ThumbnailGridFacade::kShowNames, showNames);
    m_IkThumb->setMember(ThumbnailGridFacade::kThumbSize, toInt16HalfEven(size));
}

}  // namespace plume
