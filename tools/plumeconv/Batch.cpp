#include "Batch.h"

#include "Convert.h"
#include "Messages.h"

#include "platform/base/Terminal.h"
#include "platform/picture/PngBands.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace plume::conv {

namespace {

// Each worker draws PNG bands of this size, so that memory stays small with several workers.
constexpr qint64 kBatchBandBytes = kPngBandBytes / 4;

}  // namespace

QStringList batchOutputs(const QStringList& inputs, const QString& dir, Format format) {
    QStringList outputs;
    QSet<QString> taken;
    for (const QString& input : inputs) {
        const QString stem = input == QLatin1String("-") ? QStringLiteral("stdin")
                                                         : QFileInfo(input).completeBaseName();
        const QString path = QDir(dir).filePath(stem + u'.' + endingOf(format));
        // Names compared as the file system compares them on Linux: exactly.
        if (taken.contains(path)) {
            outputs.append(QString());
            continue;
        }
        taken.insert(path);
        outputs.append(path);
    }
    return outputs;
}

BatchReport runBatch(const Options& options, const BatchListener& listener) {
    const QStringList& inputs = options.inputs;
    const QStringList outputs = batchOutputs(inputs, options.outDir, options.format);
    const int total = int(inputs.size());
    std::atomic<int> next{0};
    std::mutex lock;  // guards the report, the counter of finished files and the listener
    BatchReport report;
    int done = 0;
    const auto work = [&] {
        for (int i = next++; i < total; i = next++) {
            Outcome outcome;
            QElapsedTimer clock;
            clock.start();
            if (outputs[i].isEmpty()) {
                outcome = {kCannotWrite,
                           Text::tr("%1: another input of this run has the same name")
                               .arg(QDir::toNativeSeparators(inputs[i]))};
            } else if (!options.force && QFileInfo::exists(outputs[i])) {
                outcome = {kCannotWrite,
                           Text::tr("%1 exists already (--force replaces it)")
                               .arg(QDir::toNativeSeparators(outputs[i]))};
            } else {
                outcome = convertOne(options, inputs[i], outputs[i], kBatchBandBytes);
            }
            const qint64 microseconds = clock.nsecsElapsed() / 1000;
            const std::lock_guard<std::mutex> guard(lock);
            if (listener.timing) listener.timing(microseconds, inputs[i]);
            (outcome.written() ? report.converted : report.failed) += 1;
            if (outcome.code == kCutShort) report.cutShort += 1;
            if (!outcome.message.isEmpty() && listener.message)
                listener.message(outcome.message, outcome.written());
            ++done;
            if (listener.progress) listener.progress(done, total, inputs[i]);
        }
    };
    const int jobs = std::clamp(options.jobs > 0 ? options.jobs : QThread::idealThreadCount(), 1,
                                std::max(1, total));
    // The workers are threads of Qt's global pool. As Qt's own threads, each ends its
    // per-thread state (its font cache, FreeType's library and faces) in itself as it finishes;
    // a thread Qt did not start has that state ended by another thread of Qt's once it is gone
    // (so Qt 6 does on Windows), which releases FreeType's faces against that other thread's
    // library: a double free at the end of the batch. As the pool's, they draw large fills in
    // place: Qt's raster drawing splits a large fill in a composition other than plain copying
    // (an XOR pen, a translucent brush) and a large image conversion into parts for that pool
    // and waits for them, unless it runs on one of the pool's threads. The files are the
    // batch's parallelism already, and under Wine each hand-over is a round trip to the Wine
    // server that costs more than the part handed over (a file of XOR lines drew five times
    // slower). Their work's end is awaited, not their threads' (those idle in the pool).
    QThreadPool* pool = QThreadPool::globalInstance();
    if (pool->maxThreadCount() < jobs) pool->setMaxThreadCount(jobs);
    QSemaphore finished;
    for (int j = 0; j < jobs; ++j)
        pool->start([&] {
            work();
            finished.release();
        });
    finished.acquire(jobs);
    return report;
}

int runBatchCommand(const Options& options) {
    if (!QFileInfo(options.outDir).isDir()) {
        printError(Text::tr("the output folder %1 does not exist")
                       .arg(QDir::toNativeSeparators(options.outDir)));
        return kCannotWrite;
    }
    const bool terminal = isTerminal(StdStream::Error);
    bool progressShown = false;
    const auto clearProgress = [&] {
        if (progressShown) std::fputs("\r\033[K", stderr);
        progressShown = false;
    };
    BatchListener listener;
    listener.message = [&](const QString& line, bool warning) {
        clearProgress();
        warning ? printWarning(line) : printError(line);
    };
    if (terminal) {
        listener.progress = [&](int done, int total, const QString& input) {
            // One line, rewritten in place; the name cut so that it stays on one line.
            const QString name = QFileInfo(input).fileName();
            std::fprintf(stderr, "\r\033[K[%d/%d] %s", done, total,
                         qUtf8Printable(name.left(60)));
            std::fflush(stderr);
            progressShown = true;
        };
    }
    if (qEnvironmentVariableIsSet("PLUMECONV_TIMINGS")) {
        listener.timing = [](qint64 microseconds, const QString& input) {
            std::fprintf(stderr, "timing %lld %s\n", static_cast<long long>(microseconds),
                         qUtf8Printable(input));
        };
    }
    const BatchReport report = runBatch(options, listener);
    clearProgress();
    QString summary = Text::tr("%1 of %2 files converted, %3 failed")
                          .arg(report.converted)
                          .arg(report.converted + report.failed)
                          .arg(report.failed);
    if (report.cutShort > 0) summary += Text::tr(", %1 cut short").arg(report.cutShort);
    std::fprintf(stderr, "plumeconv: %s\n", qUtf8Printable(summary));
    if (report.failed > 0) return kSomeFailed;
    return report.cutShort > 0 ? kCutShort : kOk;
}

}  // namespace plume::conv
