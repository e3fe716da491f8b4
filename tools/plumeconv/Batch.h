#pragma once

// Batch mode: many inputs converted in one process by worker threads, each written to the
// output folder under its own name with the format's ending.

#include "Options.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace plume::conv {

// The output path of each input in `dir`: its stem plus the format's ending ("stdin" for
// "-"). Empty for an input whose name an earlier input of the same run takes already.
QStringList batchOutputs(const QStringList& inputs, const QString& dir, Format format);

struct BatchReport {
    int converted = 0;
    int failed = 0;
    int cutShort = 0;  // of the converted, those the time limit cut short
};

// What the batch says as it goes: each file's failure or warning (a whole line), and the
// progress after each file (done of total, the file just finished).
// `timing` hears how long each file took, reading to writing, in microseconds.
struct BatchListener {
    std::function<void(const QString& line, bool warning)> message;
    std::function<void(int done, int total, const QString& input)> progress;
    std::function<void(qint64 microseconds, const QString& input)> timing;
};

// Converts every input with options.jobs worker threads (the cores when 0). An existing
// output is left alone and counts as failed unless options.force.
BatchReport runBatch(const Options& options, const BatchListener& listener);

// The batch from the command line: progress on one line when stderr is a terminal (nothing
// otherwise), failures and warnings as lines, a summary; kOk only when every file succeeded,
// kCutShort when none failed but some were cut short.
// With PLUMECONV_TIMINGS set in the environment, a line "timing MICROSECONDS FILE" after each
// file, for bench/plumeconv_batch.sh.
int runBatchCommand(const Options& options);

}  // namespace plume::conv
