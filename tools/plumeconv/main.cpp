// plumeconv: renders EMF and WMF files to PNG, SVG or PDF, or converts them to EMF, one file
// or a batch; also the thumbnailer of file managers. `plumeconv --help` tells the rest.

#include "Batch.h"
#include "Convert.h"
#include "Messages.h"
#include "Options.h"
#include "Thumbnail.h"

#include "platform/base/InputFile.h"
#include "platform/base/ProcessEnd.h"
#include "platform/picture/PngBands.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

using namespace plume::conv;

// Ends the process at once with the output committed and the errors written: without tearing
// down the font database and the rest of Qt, which would take a good part of a small
// conversion's time, and without waiting for threads that may be anywhere (a worker still
// ending, the drawing the thumbnail's clock gave up on).
[[noreturn]] void leave(int code) {
    std::fflush(nullptr);
    std::_Exit(plume::endProcess(code));
}

// Says what came of one file and gives its exit status.
int reported(const Outcome& outcome) {
    if (!outcome.written())
        printError(outcome.message);
    else if (!outcome.message.isEmpty())
        printWarning(outcome.message);
    return outcome.code;
}

int run(const QStringList& arguments) {
    plume::Expected<Options> parsed = parseOptions(arguments);
    if (!parsed) {
        printError(parsed.error());
        return kUsage;
    }
    const Options& options = parsed.value();
    switch (options.mode) {
        case Mode::Help:
            std::fputs(qUtf8Printable(usageText()), stdout);
            return kOk;
        case Mode::Version:
            std::fputs(qUtf8Printable(versionText()), stdout);
            return kOk;
        case Mode::Batch:
            return runBatchCommand(options);
        case Mode::Thumbnail: {
            // File managers wait for their thumbnailers: whatever happens, this one ends.
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(kThumbnailRunMs));
                printError(thumbnailTooSlow());
                leave(kTooSlow);
            }).detach();
            return reported(writeThumbnail(options.inputs.first(), options.output,
                                           options.thumbnailSize, options.drawEmfPlus));
        }
        case Mode::Convert:
            break;
    }
    return reported(
        convertOne(options, options.inputs.first(), options.output, plume::kPngBandBytes));
}

// Memory that runs out anywhere ends the run with a message, never with an abort.
int runGuarded(const QStringList& arguments) {
    try {
        return run(arguments);
    } catch (const std::bad_alloc&) {
        printError(memoryRanOut());
        return kBadSize;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything opens a file: a closed standard stream is noted and held on the null
    // device, so that no font file or socket takes its number.
    plume::holdStandardStreams();
    // Qt's own notices (a missing runtime folder, a font fallback) are no errors of the
    // conversion; they would break the one-line error contract, so only criticals pass.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) printError(text);
    });
    // A converter needs no display: unless the caller chose a platform, draw on the one the
    // build names (off screen on Linux, which also spares the connection to a display server at
    // start-up; Windows' own on Windows, for its fonts).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", PLUMECONV_QPA_PLATFORM);
    // Qt's regular expressions (with which it lists the font and plug-in folders) keep a
    // compiled pattern's stack per thread, freed by a thread-local destructor as the thread
    // ends. With mingw-w64's emulated thread-local storage that destructor runs after the
    // storage is freed, and a batch worker that had been first to list a folder crashed as it
    // ended. Patterns matched without the JIT compiler need no such stack.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_REGEXP_JIT")) qputenv("QT_ENABLE_REGEXP_JIT", "0");
    QGuiApplication app(argc, argv);
    installTranslation();
    leave(runGuarded(QCoreApplication::arguments().mid(1)));
}
