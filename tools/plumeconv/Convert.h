#pragma once

// One conversion: read an input (a file or standard input), decide whether it can be drawn,
// draw it at the chosen size and write it (a file, replaced whole, or standard output).

#include "Messages.h"
#include "Options.h"

#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

namespace plume::conv {

// What one file came to: kOk, or the exit code and one-line message of the failure. A
// successful outcome may carry a warning (a picture drawn only in part).
struct Outcome {
    int code = kOk;
    QString message;
    bool ok() const { return code == kOk; }
    // The output is written (a picture cut short too); the message is a warning then.
    bool written() const { return code == kOk || code == kCutShort; }
};

// A drawing read from bytes, or why not. `warning` is set when the picture is drawn in part:
// its records end early at a damaged record, and what comes after it is left out.
struct Drawing {
    PicturePtr picture;
    Outcome failure;
    QString warning;
};

// How long a named pipe or a device may give nothing before its reading is given up.
inline constexpr int kInputIdleMs = 10'000;

// The whole input: the file's bytes, or standard input for "-" to the end of the stream (up to
// the picture file limit; nothing more is read). A pipe or a device named as a file may be
// silent for `idleMs` at a time; standard input, as long as its writer keeps it open.
Expected<QByteArray> readInput(const QString& path, int idleMs = kInputIdleMs);

// Decides what the bytes are. A file shorter than its header says, or one that begins like
// a metafile but whose header cannot be read, is damaged (the same rule the main window
// applies): it fails with kDamaged. Bytes that are no metafile fail with kBadInput.
Drawing drawingFromBytes(const QString& shownName, const QByteArray& bytes);

// The size to draw at: the frame at --dpi times --scale, or --width/--height (one given keeps
// the proportions). Fails with kBadSize naming the cause (the frame is empty, too large).
Expected<QSize> chooseSize(const metafile::Document& document, const Options& options);

// Draws the picture in `format` to `out` (PNG a band of rows at a time), for at most
// options.timeLimitMs; `cutOff` when that stopped the drawing.
struct Written {
    bool cutOff = false;
};
Expected<Written> writeDrawing(const Picture& picture, QSize size, const Options& options,
                               QIODevice& out, qint64 pngBandBytes);

// What is said of a picture the time limit cut short, and of memory that ran out (kBadSize).
QString cutShortWarning(const QString& shownName, int timeLimitMs);
Outcome outOfMemory(const QString& shownName);

// The whole conversion of `input` to `output` ("-" for standard input or output). A file is
// written beside its place and renamed over it only when complete, so a failure leaves
// nothing behind. Warnings, if any, are the outcome's message (a line each) with kOk, or
// with kCutShort when the time limit cut the drawing short. Memory that runs out fails the
// file with kBadSize.
Outcome convertOne(const Options& options, const QString& input, const QString& output,
                   qint64 pngBandBytes);

}  // namespace plume::conv
