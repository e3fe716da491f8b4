#pragma once

// plumeconv's command line, read into Options without touching any file.

#include "platform/base/Expected.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

namespace plume::conv {

enum class Format { Png, Svg, Pdf, Emf };

// How long one file may take to draw before the drawing stops and what was drawn is written
// with a warning (--time-limit, in seconds on the command line).
inline constexpr int kDefaultTimeLimitMs = 10'000;
inline constexpr int kMaxTimeLimitMs = 24 * 3600 * 1000;
enum class Mode { Convert, Batch, Thumbnail, Help, Version };

// "png" -> Format::Png; nullopt for anything else (case is ignored).
std::optional<Format> formatNamed(const QString& name);
// The format's file ending without the dot: "png".
QString endingOf(Format format);

struct Options {
    Mode mode = Mode::Convert;
    QStringList inputs;  // one for Convert and Thumbnail; "-" is standard input
    QString output;      // Convert and Thumbnail; "-" is standard output
    QString outDir;      // Batch
    Format format = Format::Png;
    std::optional<int> width;
    std::optional<int> height;
    double dpi = 96.0;
    double scale = 1.0;
    std::optional<QColor> background;  // transparent for "none"
    bool drawEmfPlus = true;
    bool force = false;
    int jobs = 0;  // 0: the number of cores
    int thumbnailSize = 0;
    int timeLimitMs = kDefaultTimeLimitMs;
};

// Reads the arguments (without the program's name). The failure is a translated one-line text.
Expected<Options> parseOptions(const QStringList& args);

}  // namespace plume::conv
