#include "main_window/fmMain.h"

#include "platform/desktop/Usr.h"
#include "environment/BrowseFolder.h"
#include "environment/YIni.h"
#include "main_window/AppIcon.h"
#include "main_window/ClipboardWatch.h"
#include "main_window/MainLayout.h"
#include "main_window/NumberedFiles.h"
#include "main_window/PreviewLoad.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/ImageArea.h"
#include "platform/desktop/MessageBox.h"
#include "platform/base/Numbers.h"
#include "platform/base/Paths.h"
#include "platform/picture/PictureIo.h"
#include "platform/base/PlumeError.h"
#include "platform/widgets/PreviewSurface.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/base/Twips.h"
#include "platform/widgets/WindowFrame.h"
#include "raster_window/sbImg.h"
#include "thumbnail_window/spTmS.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace plume {
namespace {

const QString kGroupPosition = QStringLiteral("位置");
const QString kShowing = QStringLiteral(" を表示しています");
const QString kCannotOpen = QStringLiteral(" を開けません");
// How long the clipboard's owner may take before the status line says Plume waits for it.
constexpr int kSlowReadMs = 700;
const QString kWaitingForOwner = QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞの持ち主の応答を待っています…");
const QString kShownInPart = QStringLiteral("（描画が重すぎるため一部のみ表示）");

}  // namespace

ClickLabel::ClickLabel(const QString& caption, QWidget* parent)
    : QWidget(parent), m_label(new QLabel(caption, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addStretch();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    emit clicked();
}

fmMain::fmMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(kProgramTitle);
    setWindowIcon(appIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    createControls();
    createMenus();
    m_clipReader = makeClipboardReader();
    createHabits();
    const double tpp = twipsPerPixel();
    resize(toInt32HalfEven(kDesignClientWidth / tpp), toInt32HalfEven(kDesignClientHeight / tpp));
    m_placement = new FramePlacement(*this);
}

fmMain::~fmMain() = default;

void fmMain::setTwipsGeometry(QWidget* widget, const QRectF& twips) const {
    const double tpp = twipsPerPixel();
    auto px = [tpp](double t) { return toInt32HalfEven(t / tpp); };
    widget->setGeometry(px(twips.x()), px(twips.y()), std::max(0, px(twips.width())),
                        std::max(0, px(twips.height())));
}

void fmMain::createControls() {
    m_frMnu = new QFrame(this);
    m_frMnu->setObjectName(QStringLiteral("frMnu"));
    m_frMnu->setFrameShape(QFrame::NoFrame);
    setTwipsGeometry(m_frMnu, {90, 45, 8070, 360});

    const QString labelCaptions[] = {QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾌｫﾙﾀﾞ(&D)"),
                                     QStringLiteral("ﾍﾙﾌﾟ(&H)")};
    const double labelLefts[] = {105, 997, 1890};
    const QString buttonCaptions[] = {QStringLiteral("ﾒﾀ画像を取込"),
                                      QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞに複写"),
                                      QStringLiteral("ﾗｽﾀﾃﾞｰﾀｰに変換")};
    const double buttonLefts[] = {2820, 4350, 5880};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(buttonCaptions[i], m_frMnu);
        button->setObjectName(QStringLiteral("cmRet_%1").arg(i));
        setTwipsGeometry(button, {buttonLefts[i], 45, 1500, 270});
        connect(button, &QPushButton::clicked, this,
                [this, i] { cmRet_Click(static_cast<int16_t>(i)); });
        m_cmRet[static_cast<size_t>(i)] = button;
    }
    for (int i = 0; i < 3; ++i) {
        auto* label = new ClickLabel(labelCaptions[i], m_frMnu);
        label->setObjectName(QStringLiteral("lbMnu_%1").arg(i));
        label->setCursor(Qt::PointingHandCursor);
        setTwipsGeometry(label, {labelLefts[i], 30, 750, 195});
        // A label's access key moves the focus to the next control that takes it: the
        // first command button.
        label->label()->setBuddy(m_cmRet[0]);
        connect(label, &ClickLabel::clicked, this,
                [this, i] { lbMnu_Click(static_cast<int16_t>(i)); });
        m_lbMnu[static_cast<size_t>(i)] = label;
    }

    m_File1 = new FileListBox(this);
    m_File1->setObjectName(QStringLiteral("File1"));
    // The list is first in tab order and has the focus when the window opens, so the arrow
    // keys walk it at once.
    m_File1->setFocus();
    setTwipsGeometry(m_File1, {15, 720, kFile1Width, 3870});
    connect(m_File1, &FileListBox::clicked, this, &fmMain::File1_Click);

    m_pcImg = new PreviewSurface(this);
    m_pcImg->setObjectName(QStringLiteral("pcImg"));
    connect(m_pcImg, &PictureView::drawn, this, &fmMain::previewDrawn);
    m_load = new PreviewLoad(this);
    connect(m_load, &PreviewLoad::loaded, this, &fmMain::showLoaded);
    setTwipsGeometry(m_pcImg, {1335, 765, kPcImgWidth, kPcImgHeight});

    m_lbMsg = new QLabel(this);
    m_lbMsg->setObjectName(QStringLiteral("lbMsg"));
    m_lbMsg->setAutoFillBackground(true);
    QPalette msgPalette = m_lbMsg->palette();
    msgPalette.setColor(QPalette::Window, QColor(254, 248, 254));
    m_lbMsg->setPalette(msgPalette);
    setTwipsGeometry(m_lbMsg, {90, 4575, 8265, kLbMsgHeight});

    // Tab order: the list, then the three buttons (the other controls take no focus).
    m_pcImg->setFocusPolicy(Qt::NoFocus);
    setTabOrder(m_File1, m_cmRet[0]);
    setTabOrder(m_cmRet[0], m_cmRet[1]);
    setTabOrder(m_cmRet[1], m_cmRet[2]);

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(kTimerInterval);
    connect(m_Timer1, &QTimer::timeout, this, &fmMain::Timer1_Timer);
}

void fmMain::createMenus() {
    m_mnJb[0] = new QMenu(QStringLiteral("ﾌｧｲﾙ(&F)"), this);
    const QString fileCaptions[] = {QStringLiteral("取込(&I)"), QStringLiteral("複写(&C)"),
                                    QStringLiteral("変換(&V)"), QStringLiteral("-"),
                                    QStringLiteral("終了(&X)")};
    for (int i = 0; i < 5; ++i) {
        QAction* action =
            i == 3 ? m_mnJb[0]->addSeparator() : m_mnJb[0]->addAction(fileCaptions[i]);
        action->setObjectName(QStringLiteral("mnFile_%1").arg(i));
        connect(action, &QAction::triggered, this,
                [this, i] { mnFile_Click(static_cast<int16_t>(i)); });
        m_mnFile[static_cast<size_t>(i)] = action;
    }
    m_mnJb[1] = new QMenu(QStringLiteral("ﾌｫﾙﾀﾞ(&F)"), this);
    const QString folderCaptions[] = {QStringLiteral("現在のﾌｫﾙﾀﾞをｴｸｽﾌﾟﾛｰﾗｰで開く"),
                                      QStringLiteral("作業ﾌｫﾙﾀﾞの変更"), QStringLiteral("-"),
                                      QStringLiteral("大きなサムネイルから選ぶ")};
    for (int i = 0; i < 4; ++i) {
        QAction* action =
            i == 2 ? m_mnJb[1]->addSeparator() : m_mnJb[1]->addAction(folderCaptions[i]);
        action->setObjectName(QStringLiteral("mnFld_%1").arg(i));
        connect(action, &QAction::triggered, this,
                [this, i] { mnFld_Click(static_cast<int16_t>(i)); });
        m_mnFld[static_cast<size_t>(i)] = action;
    }
}

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

    // The list's path and pattern, read once.
    if (!m_File1->setPathAndPattern(m_sWkFld, QStringLiteral("*.WMF"))) showFolderMissing();

    const double tpp = twipsPerPixel();
    QVector<QRectF> screens;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        screens.append(QRectF(g.x() * tpp, g.y() * tpp, g.width() * tpp, g.height() * tpp));
    }
    // The design size is the client area's; the window is that and its frame.
    const QMargins frame = windowFrameMargins(*this);
    const QSizeF design((width() + frame.left() + frame.right()) * tpp,
                        (height() + frame.top() + frame.bottom()) * tpp);
    applyPlacement(placeMainWindow(stored, screen, design, screens));
    m_Timer1->start();
    loadHabits();
}

void fmMain::applyPlacement(const TwipsRect& place) {
    m_placedTwips = place;
    m_placedPixels = twipsToPixels(place, twipsPerPixel());
    // The rectangle is the whole window, frame included: the client area is what is left
    // inside the window manager's frame.
    m_placement->placeFrame(m_placedPixels);
}

void fmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void fmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
}

void fmMain::Form_Resize() {
    if (isMinimized()) return;
    const double tpp = twipsPerPixel();
    const MainLayout layout = layoutMainWindow(width() * tpp, height() * tpp, kFile1Width,
                                               kLbMsgHeight, kPcImgWidth, kPcImgHeight);
    setTwipsGeometry(m_frMnu, layout.frMnu);
    setTwipsGeometry(m_File1, layout.File1);
    setTwipsGeometry(m_pcImg, layout.pcImg);
    setTwipsGeometry(m_lbMsg, layout.lbMsg);
}

void fmMain::Form_Activate() {
    ReList();
}

TwipsRect fmMain::currentTwips() const {
    const QRect frame = m_placement->frame();
    // A window that was not moved or resized gives back exactly the twips it was placed
    // with, free of the rounding to whole pixels.
    if (frame == m_placedPixels) return m_placedTwips;
    return pixelsToTwips(frame, twipsPerPixel());
}

void fmMain::Form_Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    m_Timer1->stop();
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
    sbImg::release();
    Usr::oFso.reset();
    YIni::release();
}

void fmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void fmMain::showStatus(const QString& text) {
    m_lbMsg->setText(text);
}

void fmMain::showPictureStatus(const QString& text) {
    m_pictureStatus = text;
    showStatus(text);
    if (!m_pcImg->isDrawing() && m_pcImg->shownCutOff()) previewDrawn(true);
}

void fmMain::previewDrawn(bool cutOff) {
    // Only while the status line still speaks of the picture: a later message stays.
    if (cutOff && !m_pictureStatus.isEmpty() && m_lbMsg->text() == m_pictureStatus)
        showStatus(m_pictureStatus + kShownInPart);
}

void fmMain::showFolderMissing() {
    // The list stays empty; the folder is not created behind the user's back.
    if (!m_sWkFld.isEmpty()) showStatus(shownPath(m_sWkFld) + QStringLiteral(" が見つかりません"));
}

void fmMain::lbMnu_Click(int16_t Index) {
    if (Index == 0 || Index == 1) {
        m_mnJb[static_cast<size_t>(Index)]->popup(QCursor::pos());
        return;
    }
    if (Index >= 2) openHelp();
}

void fmMain::openHelp() {
    const QString page = QStringLiteral("plume.htm");
    if (YIni::take()->W_Help(page)) return;
    // Nothing took the page (a desktop without an opener): say where it is instead.
    showStatus(QUrl(YIni::helpBaseAddress() + page).toLocalFile() + kCannotOpen);
}

void fmMain::cmRet_Click(int16_t Index) {
    if (Index >= 0 && Index <= 2) mnFile_Click(Index);
}

void fmMain::mnFile_Click(int16_t Index) {
    // The whole command runs under one trap: its first failure ends it, keeping what was done
    // before. The steps report failures as results, never as exceptions; the status line says
    // those the user can act on (a folder or file that cannot be written, a clipboard that
    // cannot be had).
    switch (Index) {
        case 0:
            importFromClipboard();
            break;
        case 1:
            copyToClipboard();
            break;
        case 2:
            convertToRaster();
            break;
        case 4:
            close();
            break;
        default:
            break;
    }
}

bool fmMain::ChkClip(const ClipboardRead& read) const {
    return read.hasMetafile;
}

Expected<int16_t> fmMain::GetNextNo() {
    Usr::F_FsoChk();
    if (!Usr::oFso->FolderExists(m_sWkFld)) {
        try {
            Usr::oFso->CreateFolder(m_sWkFld);
        } catch (const PlumeError& error) {
            return Expected<int16_t>::failure(error.message());
        }
    }
    Expected<FolderNumbering> scan = scanNumberedFolder(m_sWkFld);
    if (!scan) return Expected<int16_t>::failure(scan.error());
    m_takenNames = std::move(scan.value().takenLower);
    return Expected<int16_t>::success(scan.value().next);
}

void fmMain::importFromClipboard() {
    // The clipboard is read off the window's thread, so that an owner that does not answer
    // never freezes the window; the import goes on when the read has ended. A press while a
    // read runs adds nothing.
    if (!m_clipReader->read([this](const ClipboardRead& read) { importRead(read); })) return;
    // A read that takes long is said while it lasts.
    if (m_clipReader->reading())
        QTimer::singleShot(kSlowReadMs, this, [this] {
            if (!m_clipReader->reading() || m_waitSaid) return;
            m_statusBeforeWait = m_lbMsg->text();
            m_waitSaid = true;
            showStatus(kWaitingForOwner);
        });
}

void fmMain::importRead(const ClipboardRead& read) {
    // The note of waiting goes (unless something else was said since); an import that finds
    // nothing leaves the line as it was.
    if (m_waitSaid && m_lbMsg->text() == kWaitingForOwner) showStatus(m_statusBeforeWait);
    m_waitSaid = false;
    if (read.ownerSilent) {
        showStatus(ownerSilentText());
        return;
    }
    if (!ChkClip(read)) return;
    const Expected<int16_t> number = GetNextNo();
    if (!number) {
        sayNumberingFailed();
        return;
    }
    const Expected<PicturePtr>& picture = read.picture;
    if (!picture) return;
    // The drawing goes into a new file of its own; a name that is taken (another program,
    // another Plume, another letter case) is passed over to the next number.
    const Expected<QString> stored =
        storeNewNumberedFile(m_sWkFld, number.value(), picture.value()->emfBytes(), &m_takenNames);
    if (!stored) {
        // The clipboard keeps the drawing, so nothing is lost and the import can be retried;
        // the preview and the list stay on what is stored.
        showStatus(stored.error());
        return;
    }
    showPicture(picture.value());
    m_sCurFL = stored.value();
    // The bytes are kept as they came, as the user asked; damage is said beside the name.
    const QString created = joinPath(m_sWkFld, m_sCurFL) + QStringLiteral(" を作成しました");
    showPictureStatus(read.damage.isEmpty() ? created
                                            : QStringLiteral("%1 (%2)").arg(created, read.damage));
    if (!clipboardClear()) return;
    ReList();
}

void fmMain::sayNumberingFailed() {
    // A working folder that cannot be made is said; used-up numbers end silently.
    if (!Usr::oFso->FolderExists(m_sWkFld))
        showStatus(QStringLiteral("ﾌｫﾙﾀﾞ ") + shownPath(m_sWkFld) +
                   QStringLiteral(" を作成できません"));
}

void fmMain::copyToClipboard() {
    m_load->finish();
    // With nothing previewed there is nothing to copy: the clipboard keeps what it holds
    // instead of being emptied for nothing, and the user is told why nothing happened.
    if (!m_pcImg->picture()) {
        showStatus(QStringLiteral("表示している画像がないため、ｸﾘｯﾌﾟﾎﾞｰﾄﾞはそのままです"));
        return;
    }
    // A clipboard that cannot be had (on Windows another program holds it open) keeps what it
    // holds; the user hears it, and the copy can be tried again.
    if (!clipboardClear()) {
        showStatus(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞを使えないため、複写できません"));
        return;
    }
    // Known as Plume's own before it is there: the clipboard's change notice comes at once.
    if (m_pcImg->picture()->isVector()) m_watch->notePlumesOwn(m_pcImg->picture()->emfBytes());
    if (!clipboardSetPicture(m_pcImg->picture())) {
        showStatus(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞに複写できません"));
        return;
    }
    showStatus(QStringLiteral("画像ﾃﾞｰﾀｰ(ﾍﾞｸﾀﾃﾞｰﾀｰ)をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼りつけました"));
}

void fmMain::convertToRaster() {
    m_load->finish();
    if (!m_pcImg->picture()) {
        showStatus(QStringLiteral("表示している画像がないため、変換できません"));
        return;
    }
    sbImg& raster = sbImg::take();
    raster.image1()->setPicture(m_pcImg->picture());
    const TwipsRect here = currentTwips();
    const double tpp = twipsPerPixel();
    const int32_t nLf = toInt32HalfEven(here.left + 500);
    const int32_t nTp = toInt32HalfEven(here.top + 500);
    const int32_t nWd = toInt32HalfEven(m_pcImg->width() * tpp);
    const int32_t nHi = toInt32HalfEven(m_pcImg->height() * tpp);
    raster.Act(nLf, nTp, nWd, nHi);
}

void fmMain::mnFld_Click(int16_t Index) {
    switch (Index) {
        case 0:
            openWorkFolderInFileManager();
            break;
        case 1:
            changeWorkFolder();
            break;
        case 3:
            chooseFromThumbnails();
            break;
        default:
            break;
    }
}

void fmMain::openWorkFolderInFileManager() {
    try {
        if (!YIni::take()->W_ExpFd(m_sWkFld, false)) showStatus(shownPath(m_sWkFld) + kCannotOpen);
    } catch (const PlumeError&) {
        // The folder cannot be looked at: there is nothing to open.
    }
}

void fmMain::changeWorkFolder() {
    QString s = m_sWkFld;
    try {
        Usr::W_BrwFld(s, this);
    } catch (const PlumeError&) {
        return;
    }
    // A cancelled picker hands back nothing: the working folder stays as it was.
    if (s.isEmpty() || s == m_sWkFld) return;
    m_sWkFld = s;
    m_File1->setPath(s);
    forgetShownFile();
    Usr::F_FsoChk();
    // The watch starts from the new folder, so the next tick finds nothing new. A reading
    // that fails leaves its value as it was.
    const FolderStamp stamp = readFolderStamp(m_File1->path());
    if (stamp.modified.isValid()) m_dFdTm = stamp.modified;
    if (QFileInfo(s).isDir()) m_nFdCnt = stamp.fileCount;
}

void fmMain::chooseFromThumbnails() {
    if (!m_spTmS) m_spTmS = std::make_unique<spTmS>();
    // The chooser starts on the file the list has selected.
    QString sFL = m_File1->fileName();
    m_spTmS->Act(*this, m_sWkFld, sFL);
    if (sFL.isEmpty()) return;
    for (int i = 0; i < m_File1->listCount(); ++i) {
        if (m_File1->entry(i).toLower() == sFL.toLower()) {
            m_File1->setListIndex(i);
            break;
        }
    }
}

void fmMain::ReList() {
    if (!m_File1->refresh()) showFolderMissing();
    if (m_sCurFL.isEmpty()) return;
    m_bReSel = true;
    for (int i = 0; i < m_File1->listCount(); ++i) {
        if (m_File1->entry(i).toLower() == m_sCurFL) {
            m_File1->setListIndex(i);
            break;
        }
    }
    m_bReSel = false;
}

void fmMain::File1_Click() {
    if (m_bReSel) return;
    const QString name = m_File1->fileName();
    if (name.isEmpty()) return;
    // The selection is the current file from now on, so that a refresh keeps it selected
    // while it loads; the preview goes on showing the last drawing until it is loaded.
    m_sCurFL = name.toLower();
    m_load->load(joinPath(m_File1->path(), name));
}

bool fmMain::isLoading() const {
    return m_load->isLoading();
}

void fmMain::showPicture(PicturePtr picture) {
    // A drawing given to the preview wins over the load of a file selected before.
    m_load->abandon();
    m_pcImg->setPicture(std::move(picture));
}

void fmMain::showLoaded(const QString& path, const Expected<PicturePtr>& picture) {
    const QString name = QFileInfo(path).fileName();
    if (!picture) {
        showUnreadable(name, path + QStringLiteral(" は画像ﾌｧｲﾙとして読み込めません"));
        return;
    }
    if (picture.value()->isVector() && metafileCutShort(*picture.value()->document())) {
        showUnreadable(name, path + QStringLiteral(" は破損しているため表示できません"));
        return;
    }
    showPicture(picture.value());
    m_sCurFL = name.toLower();
    showPictureStatus(path + kShowing);
}

void fmMain::showUnreadable(const QString& name, const QString& message) {
    // The selection stays on the file and refreshes keep it there; the preview is emptied,
    // so that copy and convert never act on the drawing that was shown before it.
    showPicture(nullptr);
    m_sCurFL = name.toLower();
    showStatus(message);
}

void fmMain::forgetShownFile() {
    // A new folder starts with nothing selected and nothing shown: the last drawing belongs
    // to the old folder, and its name must not select a namesake in the new one.
    showPicture(nullptr);
    m_sCurFL.clear();
    showStatus(QString());
}

void fmMain::Timer1_Timer() {
    Usr::F_FsoChk();
    const FolderStamp now = readFolderStamp(m_File1->path());
    if (folderChanged(now, {m_dFdTm, m_nFdCnt})) ReList();
    m_dFdTm = now.modified;
    m_nFdCnt = now.fileCount;
}

}  // namespace plume
