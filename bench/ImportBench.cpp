// Import of a drawing of about 1 MB into folders of 100, 1,000 and 10,000 numbered files:
// from the command to the new file stored, listed and selected (the clipboard read, the
// folder scan for the next number, the exclusive write and the list refresh).
#include "builders/EmfBuilder.h"
#include "main_window/fmMain.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/base/Cp932.h"
#include "platform/widgets/FileListBox.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/ProgramPaths.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>

namespace {

using namespace plume;

void offerOnClipboard(const QByteArray& emf) {
    auto* data = new QMimeData;
    data->setData(target::kLibreOfficeEmf, emf);
    QGuiApplication::clipboard()->setMimeData(data);
}

void BM_ImportIntoNumberedFolder(benchmark::State& state) {
    const int existing = int(state.range(0));
    QTemporaryDir root;
    QDir().mkpath(root.filePath("prog"));
    QDir().mkpath(root.filePath("D/Temp"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root.filePath("config"));
    setExecutableOverrideForTesting(root.filePath("prog"), QStringLiteral("plume"));
    QFile ini(root.filePath("prog/UserData.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(encodeCp932(root.filePath("D")));
    ini.close();
    for (int i = 1; i <= existing; ++i) {
        QFile file(root.filePath("D/Temp/") +
                   QStringLiteral("%1.wmf").arg(i, 3, 10, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly);
    }
    const QByteArray emf = test::busyDrawing(35'000);
    state.counters["emf_bytes"] = double(emf.size());

    fmMain window;
    window.Form_Load();
    for (auto _ : state) {
        state.PauseTiming();
        offerOnClipboard(emf);
        state.ResumeTiming();
        window.mnFile_Click(0);
        state.PauseTiming();
        const bool listed = window.File1()->listCount() == existing + 1 &&
                            window.File1()->fileName() == window.sCurFL();
        QFile::remove(root.filePath("D/Temp/") + window.sCurFL());
        state.ResumeTiming();
        if (!listed) {
            state.SkipWithError("the imported file is not listed and selected");
            break;
        }
    }
    window.Form_Unload();
    state.SetComplexityN(existing);
}
BENCHMARK(BM_ImportIntoNumberedFolder)
    ->Arg(100)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    plume::setMessageSink([](const QString&) {});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
