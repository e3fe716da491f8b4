// The thumbnail grid: what it lists, the order it renders in, placeholders, the cache, picks.
#include "platform/thumbnails/ThumbnailGrid.h"
#include "platform/thumbnails/ThumbnailGridFacade.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QMutex>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <atomic>

namespace plume {
namespace {

// A renderer that draws any file whose content starts with "ok" and refuses the rest,
// records the order of its calls, and can be held at a gate.
class FakeRenderer {
  public:
    ThumbnailRenderer function() {
        return [this](const QString& path, int box, const std::function<bool()>& shouldStop) {
            return render(path, box, shouldStop);
        };
    }
    void closeGate() { m_gated = true; }
    void openGate() {
        m_gated = false;
        m_gate.release(1000);
    }
    QStringList calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    int callCount() const { return int(calls().size()); }
    // Renders that have come to the gate, and those that left it because they were told to stop.
    int gated() const { return m_atGate; }
    int stopped() const { return m_stopped; }

  private:
    ThumbnailRendering render(const QString& path, int box,
                              const std::function<bool()>& shouldStop) {
        if (m_gated) {
            ++m_atGate;
            while (!m_gate.tryAcquire(1, 5)) {
                if (shouldStop()) {
                    ++m_stopped;
                    break;
                }
            }
        }
        {
            QMutexLocker lock(&m_mutex);
            m_calls.append(QFileInfo(path).fileName());
        }
        if (!test::readFileBytes(path).startsWith("ok")) return {{}, QStringLiteral("damaged")};
        QImage image(fitThumbnail(QSize(40, 20), box), QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        return {image, {}};
    }

    std::atomic<bool> m_gated{false};
    std::atomic<int> m_atGate{0};
    std::atomic<int> m_stopped{0};
    QSemaphore m_gate;
    mutable QMutex m_mutex;
    QStringList m_calls;
};

class Grid : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }

    QString makeFolder(const QString& name, int count, const QByteArray& content = "ok") {
        const QString folder = m_root.filePath(name);
        QDir().mkpath(folder);
        for (int i = 1; i <= count; ++i)
            test::writeFileBytes(folder + QStringLiteral("/%1.wmf").arg(i, 3, 10, QChar('0')),
                                 content);
        return folder;
    }
    std::unique_ptr<ThumbnailGrid> makeGrid(std::shared_ptr<ThumbnailCache> cache = nullptr,
                                            int columns = 2, int rows = 2) {
        auto grid = std::make_unique<ThumbnailGrid>(m_renderer.function(), std::move(cache));
        grid->setThumbnailLayout({columns, rows, 64, false});
        grid->resize(300, 300);
        grid->show();
        return grid;
    }
    static bool waitAllDone(ThumbnailGrid& grid) {
        return QTest::qWaitFor([&] { return grid.allDone(); }, 10000);
    }

    QTemporaryDir m_root;
    FakeRenderer m_renderer;
};

TEST(FitThumbnail, KeepsTheAspectInsideTheBox) {
    EXPECT_EQ(fitThumbnail(QSize(400, 200), 200), QSize(200, 100));
    EXPECT_EQ(fitThumbnail(QSize(30, 60), 200), QSize(100, 200));
    EXPECT_EQ(fitThumbnail(QSize(10, 1000), 200), QSize(2, 200));
    EXPECT_EQ(fitThumbnail(QSize(1000, 1), 200), QSize(200, 1));
    EXPECT_EQ(fitThumbnail(QSize(), 96), QSize(96, 96));
}

TEST_F(Grid, ListsTheFilesOfTheTypeInAnyCaseSortedByNameWithoutHiddenOnesOrFolders) {
    const QString folder = m_root.filePath("mixed");
    QDir().mkpath(folder + "/sub.wmf");
    for (const char* name : {"b.WMF", "a.wmf", "C.Wmf", "d.emf", ".hidden.wmf", "e.wmf.txt"})
        test::writeFileBytes(folder + "/" + name, "ok");
    auto grid = makeGrid();
    grid->listFolder(folder, "wmf");
    EXPECT_EQ(grid->fileNames(), QStringList({"a.wmf", "b.WMF", "C.Wmf"}));
    EXPECT_TRUE(waitAllDone(*grid));

    grid->listFolder(m_root.filePath("no such folder"), "wmf");
    EXPECT_EQ(grid->count(), 0);
    EXPECT_TRUE(grid->allDone());
}

TEST_F(Grid, ADamagedFileGetsAPlaceholderAndTheOthersTheirThumbnails) {
    const QString folder = makeFolder("pics", 3);
    test::writeFileBytes(folder + "/002.wmf", "garbage");
    auto grid = makeGrid();
    QSignalSpy finished(grid.get(), &ThumbnailGrid::allFinished);
    grid->listFolder(folder, "wmf");
    ASSERT_TRUE(waitAllDone(*grid));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(grid->cellState(0), ThumbnailGrid::CellState::Ready);
    EXPECT_EQ(grid->cellState(1), ThumbnailGrid::CellState::Failed);
    EXPECT_EQ(grid->cellError(1), "damaged");
    EXPECT_EQ(grid->cellState(2), ThumbnailGrid::CellState::Ready);
    EXPECT_TRUE(grid->hasImage(0));
    EXPECT_FALSE(grid->hasImage(1));
    // Painting a placeholder is as safe as painting a thumbnail.
    EXPECT_FALSE(grid->grab().isNull());
}

TEST_F(Grid, TheCellsInViewAreRenderedBeforeTheRestWithoutTheViewWaiting) {
    const QString folder = makeFolder("many", 40);
    auto grid = makeGrid();
    grid->threadPool().setMaxThreadCount(1);
    m_renderer.closeGate();
    grid->listFolder(folder, "wmf");
    // The renderer is held: the view still answers, scrolls and paints.
    grid->verticalScrollBar()->setValue(10);
    QCoreApplication::processEvents();
    EXPECT_FALSE(grid->grab().isNull());
    const auto [first, last] = grid->visibleRange();
    EXPECT_EQ(first, 20);
    m_renderer.openGate();
    ASSERT_TRUE(waitAllDone(*grid));

    const QStringList calls = m_renderer.calls();
    ASSERT_EQ(calls.size(), 40);
    const qsizetype firstOfTheRest = calls.indexOf("003.wmf");
    for (int i = first; i < last; ++i) {
        const QString name = QStringLiteral("%1.wmf").arg(i + 1, 3, 10, QChar('0'));
        EXPECT_LT(calls.indexOf(name), firstOfTheRest) << name.toStdString();
    }
}

TEST_F(Grid, ResultsOfAReplacedListingAreDropped) {
    const QString good = makeFolder("good", 2);
    const QString bad = makeFolder("bad", 2, "damaged");
    auto grid = makeGrid();
    m_renderer.closeGate();
    grid->listFolder(good, "wmf");
    grid->listFolder(bad, "wmf");
    m_renderer.openGate();
    ASSERT_TRUE(waitAllDone(*grid));
    // Every render of either listing has ended and its result has been delivered: a late
    // result of the first listing must not have touched the second.
    grid->threadPool().waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->cellState(0), ThumbnailGrid::CellState::Failed);
    EXPECT_EQ(grid->cellState(1), ThumbnailGrid::CellState::Failed);
}

TEST_F(Grid, AGridThatGoesStopsItsRendersAndKeepsNothingOfThem) {
    const QString folder = makeFolder("held", 4);
    const QString cacheFolder = m_root.filePath("cache");
    auto grid = makeGrid(std::make_shared<ThumbnailCache>(cacheFolder));
    m_renderer.closeGate();
    grid->listFolder(folder, "wmf");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_renderer.gated() > 0; }, 10000));
    // Going does not wait for the gate, which never opens: the renders are told to stop, and
    // what a stopped render hands back is no thumbnail for the cache.
    grid.reset();
    EXPECT_GT(m_renderer.stopped(), 0);
    EXPECT_EQ(m_renderer.stopped(), m_renderer.gated());
    EXPECT_TRUE(QDir(cacheFolder).entryList(QDir::Files).isEmpty());
    m_renderer.openGate();
}

TEST_F(Grid, ASecondOpeningTakesTheThumbnailsFromTheCacheUnlessTheFileChanged) {
    const QString folder = makeFolder("cached", 12);
    auto cache = std::make_shared<ThumbnailCache>(m_root.filePath("cache"));
    {
        auto grid = makeGrid(cache);
        grid->listFolder(folder, "wmf");
        ASSERT_TRUE(waitAllDone(*grid));
        // Far from the view, thumbnails live in the cache only, not in memory.
        EXPECT_TRUE(grid->hasImage(0));
        EXPECT_FALSE(grid->hasImage(11));
    }
    EXPECT_EQ(m_renderer.callCount(), 12);

    test::writeFileBytes(folder + "/005.wmf", "ok, but drawn again");
    auto grid = makeGrid(cache);
    grid->listFolder(folder, "wmf");
    ASSERT_TRUE(waitAllDone(*grid));
    EXPECT_EQ(m_renderer.callCount(), 13);
    EXPECT_EQ(m_renderer.calls().last(), "005.wmf");
    for (int i = 0; i < 12; ++i) EXPECT_EQ(grid->cellState(i), ThumbnailGrid::CellState::Ready);

    // Scrolling to the end brings those thumbnails back from the cache, not the renderer.
    grid->setCurrentIndex(11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->hasImage(11); }, 10000));
    EXPECT_EQ(m_renderer.callCount(), 13);
}

TEST_F(Grid, KeysMoveTheSelectionAndADoubleClickOrEnterPicks) {
    const QString folder = makeFolder("keys", 9);
    auto grid = makeGrid(nullptr, 3, 2);
    grid->listFolder(folder, "wmf");
    QSignalSpy picks(grid.get(), &ThumbnailGrid::picked);
    EXPECT_EQ(grid->currentIndex(), 0);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QTest::keyClick(grid.get(), Qt::Key_Right);
    EXPECT_EQ(grid->currentIndex(), 4);
    QTest::keyClick(grid.get(), Qt::Key_End);
    EXPECT_EQ(grid->currentIndex(), 8);
    // The last row was scrolled into view with the selection.
    EXPECT_FALSE(grid->cellRect(8).isEmpty());
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex(), 8);
    QTest::keyClick(grid.get(), Qt::Key_Enter);
    ASSERT_EQ(picks.count(), 1);
    EXPECT_EQ(picks.takeFirst().at(0).toInt(), 8);

    QTest::keyClick(grid.get(), Qt::Key_Home);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(1).center());
    ASSERT_EQ(picks.count(), 1);
    EXPECT_EQ(picks.takeFirst().at(0).toInt(), 1);
    // A double-click between the cells picks nothing.
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(299, 299));
    EXPECT_EQ(picks.count(), 0);
    EXPECT_TRUE(waitAllDone(*grid));
}

TEST_F(Grid, TheFacadeListsOnMemberTwoAndNamesThePickWithMember55) {
    const QString folder = makeFolder("facade", 4);
    ThumbnailGridFacade control(m_renderer.function(), nullptr);
    control.resize(400, 400);
    control.show();
    EXPECT_TRUE(control.setMember(26, folder));
    EXPECT_TRUE(control.setMember(27, "wmf"));
    EXPECT_TRUE(control.setMember(22, int16_t(2)));
    EXPECT_TRUE(control.setMember(23, 70000));  // beyond 16 bits: clamped, not wrapped
    EXPECT_TRUE(control.setMember(39, int16_t(96)));
    EXPECT_TRUE(control.setMember(25, true));
    EXPECT_FALSE(control.setMember(99, 1));
    EXPECT_EQ(control.member(23).toInt(), 32767);
    EXPECT_EQ(control.member(39).toInt(), 96);
    // Settings wait for the listing.
    EXPECT_EQ(control.grid().thumbnailLayout().columns, 3);
    control.invoke(1);
    control.invoke(2);
    EXPECT_EQ(control.listingCount(), 1);
    EXPECT_EQ(control.grid().thumbnailLayout(), (ThumbnailLayout{2, 32767, 96, true}));
    EXPECT_EQ(control.grid().count(), 4);

    QSignalSpy picks(&control, &ThumbnailGridFacade::Pick);
    EXPECT_EQ(control.invoke(55).toString(), "");
    control.grid().setCurrentIndex(2);
    QTest::keyClick(&control.grid(), Qt::Key_Return);
    EXPECT_EQ(picks.count(), 1);
    EXPECT_EQ(control.invoke(55).toString(), "003.wmf");
    EXPECT_TRUE(waitAllDone(control.grid()));
}

}  // namespace
}  // namespace plume

namespace plume {
namespace {

// Counts the pixels that are not white: a thumbnail of a drawing shows something.
int inkedPixels(const QImage& image) {
    int inked = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if ((rgb.pixel(x, y) & 0xffffff) != 0xffffff) ++inked;
    return inked;
}

TEST(PictureThumbnails, RealCapturesAreDrawnFittedToTheBox) {
    const QString captures = test::sharedDataDir() + "/clipboard-captures";
    const QStringList names =
        QDir(captures).entryList({"*.emf", "*.wmf"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty()) << captures.toStdString();
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const ThumbnailRendering thumb = renderPictureThumbnail(captures + "/" + name, 120);
        ASSERT_FALSE(thumb.image.isNull()) << thumb.error.toStdString();
        EXPECT_EQ(std::max(thumb.image.width(), thumb.image.height()), 120);
        EXPECT_GT(inkedPixels(thumb.image), 0);
    }
}

TEST(PictureThumbnails, RasterFilesAreScaledAndBrokenFilesGiveAReason) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QImage photo(300, 100, QImage::Format_RGB32);
    photo.fill(Qt::red);
    ASSERT_TRUE(photo.save(root.filePath("photo.png")));
    const ThumbnailRendering raster = renderPictureThumbnail(root.filePath("photo.png"), 60);
    ASSERT_FALSE(raster.image.isNull()) << raster.error.toStdString();
    EXPECT_EQ(raster.image.size(), QSize(60, 20));

    // A file that begins like a placeable metafile and then stops.
    test::writeFileBytes(root.filePath("cut.wmf"), QByteArray("\xd7\xcd\xc6\x9a\0\0", 6));
    const ThumbnailRendering cut = renderPictureThumbnail(root.filePath("cut.wmf"), 60);
    EXPECT_TRUE(cut.image.isNull());
    EXPECT_FALSE(cut.error.isEmpty());

    test::writeFileBytes(root.filePath("text.wmf"), "no picture at all");
    const ThumbnailRendering text = renderPictureThumbnail(root.filePath("text.wmf"), 60);
    EXPECT_TRUE(text.image.isNull());
    EXPECT_FALSE(text.error.isEmpty());
    EXPECT_FALSE(renderPictureThumbnail(root.filePath("missing.wmf"), 60).error.isEmpty());

    // A pipe named like a drawing would hold a worker of the grid for ever.
    if (!test::makeFifo(root.filePath("pipe.wmf")))
        GTEST_SKIP() << "this file system has no named pipes";
    ThumbnailRendering pipe;
    EXPECT_TRUE(test::returnsWhileFifoSilent(root.filePath("pipe.wmf"), [&] {
        pipe = renderPictureThumbnail(root.filePath("pipe.wmf"), 60);
    }));
    EXPECT_FALSE(pipe.error.isEmpty());
}

}  // namespace
}  // namespace plume
