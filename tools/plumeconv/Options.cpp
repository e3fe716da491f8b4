#include "Options.h"

#include "Messages.h"

#include <QFileInfo>
#include <cmath>
#include <functional>

namespace plume::conv {

std::optional<Format> formatNamed(const QString& name) {
    const QString lower = name.toLower();
    if (lower == QLatin1String("png")) return Format::Png;
    if (lower == QLatin1String("svg")) return Format::Svg;
    if (lower == QLatin1String("pdf")) return Format::Pdf;
    if (lower == QLatin1String("emf")) return Format::Emf;
    return std::nullopt;
}

QString endingOf(Format format) {
    switch (format) {
        case Format::Png: return QStringLiteral("png");
        case Format::Svg: return QStringLiteral("svg");
        case Format::Pdf: return QStringLiteral("pdf");
        case Format::Emf: return QStringLiteral("emf");
    }
    return {};
}

namespace {

using Failure = Expected<Options>;

// The arguments as they are read: options and their values, and the rest.
struct Reading {
    Options options;
    QStringList positional;
    std::optional<Format> format;
    bool dpiOrScale = false;
    bool timeLimit = false;
};

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<double> positiveNumber(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) && value > 0 ? std::optional<double>(value) : std::nullopt;
}

std::optional<QColor> colourNamed(const QString& text) {
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return QColor(Qt::transparent);
    const QColor colour = QColor::fromString(text);
    return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
}

// Applies one option that takes a value; the failure text, or an empty one.
QString applyValue(Reading& r, const QString& name, const QString& value) {
    Options& o = r.options;
    if (name == QLatin1String("--width") || name == QLatin1String("--height")) {
        // A side of 0 or below is refused with the size (exit status 4), not here.
        const std::optional<int> side = wholeNumber(value);
        if (!side) return Text::tr("%1 needs a whole number: %2").arg(name, value);
        (name == QLatin1String("--width") ? o.width : o.height) = side;
    } else if (name == QLatin1String("--dpi") || name == QLatin1String("--scale")) {
        const std::optional<double> number = positiveNumber(value);
        if (!number) return Text::tr("%1 needs a number above 0: %2").arg(name, value);
        (name == QLatin1String("--dpi") ? o.dpi : o.scale) = *number;
        r.dpiOrScale = true;
    } else if (name == QLatin1String("--time-limit")) {
        const std::optional<double> seconds = positiveNumber(value);
        if (!seconds || *seconds * 1000 > kMaxTimeLimitMs)
            return Text::tr("--time-limit needs a number of seconds above 0, at most %1: %2")
                .arg(kMaxTimeLimitMs / 1000)
                .arg(value);
        o.timeLimitMs = std::max(1, int(std::lround(*seconds * 1000)));
        r.timeLimit = true;
    } else if (name == QLatin1String("--background")) {
        o.background = colourNamed(value);
        if (!o.background)
            return Text::tr("--background needs a colour such as #ffffff or white, or none: %1")
                .arg(value);
    } else if (name == QLatin1String("--format")) {
        r.format = formatNamed(value);
        if (!r.format) return Text::tr("unknown format (use png, svg, pdf or emf): %1").arg(value);
    } else if (name == QLatin1String("--out-dir")) {
        o.outDir = value;
        o.mode = Mode::Batch;
    } else if (name == QLatin1String("-j") || name == QLatin1String("--jobs")) {
        const std::optional<int> jobs = wholeNumber(value);
        if (!jobs || *jobs < 1 || *jobs > 256)
            return Text::tr("%1 needs a number of jobs from 1 to 256: %2").arg(name, value);
        o.jobs = *jobs;
    } else if (name == QLatin1String("--thumbnail")) {
        const std::optional<int> size = wholeNumber(value);
        if (!size || *size < 1 || *size > 4096)
            return Text::tr("--thumbnail needs a size from 1 to 4096: %1").arg(value);
        o.thumbnailSize = *size;
        o.mode = Mode::Thumbnail;
    } else {
        return Text::tr("unknown option %1 (see plumeconv --help)").arg(name);
    }
    return {};
}

bool takesValue(const QString& name) {
    static const QStringList names = {"--width",      "--height",    "--dpi",       "--scale",
                                      "--background", "--format",    "--out-dir",   "-j",
                                      "--jobs",       "--thumbnail", "--time-limit"};
    return names.contains(name);
}

// Checks that the options read fit together, and fills in what follows from them.
QString finish(Reading& r) {
    Options& o = r.options;
    if (r.dpiOrScale && (o.width || o.height))
        return Text::tr("--dpi and --scale do not go with --width or --height");
    if (o.mode == Mode::Batch) {
        if (r.positional.isEmpty()) return Text::tr("--out-dir needs at least one input file");
        if (r.positional.count(QStringLiteral("-")) > 1)
            return Text::tr("standard input (-) can be read only once");
        o.inputs = r.positional;
        o.format = r.format.value_or(Format::Png);
    } else {
        if (r.positional.size() != 2)
            return Text::tr("give one input and one output (see plumeconv --help)");
        o.inputs = {r.positional[0]};
        o.output = r.positional[1];
        if (o.mode == Mode::Thumbnail) {
            // A thumbnail is a PNG of the given size on white, whatever OUT is called.
            if (r.format || o.width || o.height || r.dpiOrScale || o.background || r.timeLimit)
                return Text::tr("--thumbnail takes no format, size, background or time options");
            o.format = Format::Png;
            return {};
        }
        if (!r.format) {
            if (o.output == QLatin1String("-"))
                return Text::tr("writing to standard output (-) needs --format");
            r.format = formatNamed(QFileInfo(o.output).suffix());
            if (!r.format)
                return Text::tr("unknown output ending (use .png, .svg, .pdf or .emf, or "
                                "--format): %1")
                    .arg(o.output);
        }
        o.format = *r.format;
    }
    if (o.format == Format::Emf && (o.width || o.height || r.dpiOrScale || o.background))
        return Text::tr("size and background options do not apply to EMF output");
    // EMF output is the file's records converted, not a drawing of them.
    if (!o.drawEmfPlus && o.format == Format::Emf)
        return Text::tr("--no-emfplus applies to PNG, SVG and PDF output");
    return {};
}

}  // namespace

Expected<Options> parseOptions(const QStringList& args) {
    Reading r;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool isOption =
            !optionsEnded && arg.startsWith(u'-') && arg != QLatin1String("-");
        if (!isOption) {
            r.positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            r.options.mode = Mode::Help;
            return Expected<Options>::success(r.options);
        } else if (arg == QLatin1String("--version")) {
            r.options.mode = Mode::Version;
            return Expected<Options>::success(r.options);
        } else if (arg == QLatin1String("--no-emfplus")) {
            r.options.drawEmfPlus = false;
        } else if (arg == QLatin1String("--force")) {
            r.options.force = true;
        } else {
            QString name = arg;
            QString value;
            if (arg.startsWith(QLatin1String("-j")) && arg.size() > 2) {
                name = QStringLiteral("-j");
                value = arg.mid(2);
            } else if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
                name = arg.section(u'=', 0, 0);
                value = arg.section(u'=', 1);
            } else if (takesValue(arg)) {
                if (i + 1 >= args.size())
                    return Failure::failure(Text::tr("%1 needs a value").arg(arg));
                value = args[++i];
            }
            if (const QString error = applyValue(r, name, value); !error.isEmpty())
                return Failure::failure(error);
        }
    }
    if (r.options.thumbnailSize > 0 && !r.options.outDir.isEmpty())
        return Failure::failure(Text::tr("--thumbnail and --out-dir do not go together"));
    if (const QString error = finish(r); !error.isEmpty()) return Failure::failure(error);
    return Expected<Options>::success(r.options);
}

}  // namespace plume::conv
