#include "main_window/fmMain.h"

#include "app/Usr.h"
#include "environment/YIni.h"
#include "platform/MessageBox.h"
#include "platform/Numbers.h"
#include "platform/ProgramPaths.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace plume {
namespace {

const QString kGroupPosition = QStringLiteral("位置");

}  // namespace

fmMain::fmMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(kProgramTitle);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    const double tpp = twipsPerPixel();
    resize(toInt32HalfEven(kDesignClientWidth / tpp), toInt32HalfEven(kDesignClientHeight / tpp));
}

fmMain::~fmMain() = default;

QSizeF fmMain::screenTwips() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize pixels = screen ? screen->geometry().size() : QSize(1024, 768);
    const double tpp = twipsPerPixel();
    return QSizeF(pixels.width() * tpp, pixels.height() * tpp);
}

void fmMain::Form_Load() {
    Usr::sExeNm = executableBaseName();
    const auto yIni = YIni::take();
    yIni->W_UserData(static_cast<intptr_t>(winId()));
    yIni->F_ChkSb(Usr::sUsrFld, {QStringLiteral("Temp")});
    bool bOk = false;
    yIni->GetTxt(Usr::sUsrFld + QStringLiteral("User.xml"), bOk);

    const QSizeF screen = screenTwips();
    yIni->GetGtx(kGroupPosition);
    auto readWhole = [&](const char* key, double fallback) {
        return static_cast<double>(
            toInt32HalfEven(yIni->vGtVal(QString::fromLatin1(key), fallback).number()));
    };
    TwipsRect stored;
    stored.left = readWhole("LEFT", screen.width() * 0.1);
    stored.top = readWhole("TOP", screen.height() * 0.1);
    stored.width = readWhole("WIDTH", screen.width() * 0.7);
    stored.height = readWhole("HEIGHT", screen.height() * 0.7);
    m_sWkFld = yIni->vGtVal(QStringLiteral("FOLD"), Usr::sUsrFld + QStringLiteral("Temp")).text();

    const double tpp = twipsPerPixel();
    QVector<QRectF> screens;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        screens.append(QRectF(g.x() * tpp, g.y() * tpp, g.width() * tpp, g.height() * tpp));
    }
    const QSizeF design(frameGeometry().width() * tpp, frameGeometry().height() * tpp);
    applyPlacement(placeMainWindow(stored, screen, design, screens));
}

void fmMain::applyPlacement(const TwipsRect& place) {
    m_placedTwips = place;
    m_placedPixels = twipsToPixels(place, twipsPerPixel());
    // The rectangle is the whole window, frame included: the client area is what is left
    // inside the frame. A window manager may add its frame only when the window is shown;
    // showEvent corrects the size then.
    const QSize extra = frameGeometry().size() - size();
    move(m_placedPixels.topLeft());
    resize(std::max(1, m_placedPixels.width() - extra.width()),
           std::max(1, m_placedPixels.height() - extra.height()));
}

void fmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_frameFitted || m_placedPixels.isNull()) return;
    m_frameFitted = true;
    const QRect frame = frameGeometry();
    const int extraW = frame.width() - width();
    const int extraH = frame.height() - height();
    if (extraW > 0 || extraH > 0) {
        resize(std::max(1, m_placedPixels.width() - extraW),
               std::max(1, m_placedPixels.height() - extraH));
        move(m_placedPixels.topLeft());
    }
}

TwipsRect fmMain::currentTwips() const {
    const QRect frame = frameGeometry();
    // A window that was not moved or resized gives back exactly the twips it was placed
    // with, free of the rounding to whole pixels.
    if (frame == m_placedPixels) return m_placedTwips;
    return pixelsToTwips(frame, twipsPerPixel());
}

void fmMain::Form_Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    const auto yIni = YIni::take();
    yIni->GetGtx(kGroupPosition);
    const TwipsRect now = currentTwips();
    yIni->SetVal(QStringLiteral("LEFT"), static_cast<float>(now.left));
    yIni->SetVal(QStringLiteral("TOP"), static_cast<float>(now.top));
    yIni->SetVal(QStringLiteral("WIDTH"), static_cast<float>(now.width));
    yIni->SetVal(QStringLiteral("HEIGHT"), static_cast<float>(now.height));
    yIni->SetVal(QStringLiteral("FOLD"), m_sWkFld);
    yIni->SetGtx();
    bool bOk = false;
    yIni->SetTxt(bOk);
    Usr::oFso.reset();
    YIni::release();
}

void fmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

}  // namespace plume
