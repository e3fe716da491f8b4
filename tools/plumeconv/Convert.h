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
};

// A drawing read from bytes, or why not. `warning` is set when the picture is drawn in part:
// its records end early at a damaged record, and what comes after it is left out.
struct Drawing {
    PicturePtr picture;
    Outcome failure;
    QString warning;
};

// The whole input: the file's bytes, or standard input for "-" (up to the picture file limit).
Expected<QByteArray> readInput(const QString& path);

// Decides what the bytes are. A file shorter than its header says, or one that begins like
// a metafile but whose header cannot be read, is damaged (the same rule the main window
// applies): it fails with kDamaged. Bytes that are no metafile fail with kBadInput.
Drawing drawingFromBytes(const QString& shownName, const QByteArray& bytes);

// The size to draw at: the frame at --dpi times --scale, or --width/--height (one given keeps
// the proportions). Fails with kBadSize naming the cause (the frame is empty, too large).
Expected<QSize> chooseSize(const metafile::Document& document, const Options& options);

// Draws the picture in `format` to `out` (PNG a band of rows at a time).
Status writeDrawing(const Picture& picture, QSize size, const Options& options,
                    QIODevice& out, qint64 pngBandBytes);

// The whole conversion of `input` to `output` ("-" for standard input or output). A file is
// written beside its place and renamed over it only when complete, so a failure leaves
// nothing behind. A warning, if any, is the outcome's message with kOk.
Outcome convertOne(const Options& options, const QString& input, const QString& output,
                   qint64 pngBandBytes);

}  // namespace plume::conv
