#include "Messages.h"

#include "platform/base/AtomicFile.h"

#include <QLocale>
#include <QTranslator>
#include <cerrno>
#include <cstdio>

#ifndef PLUMECONV_VERSION
#define PLUMECONV_VERSION "unknown"
#endif

namespace plume::conv {

void installTranslation() {
    // Built into the program (qt_add_translations), so an installed or a build-tree
    // plumeconv speaks the same language without looking for files.
    static QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("plumeconv"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&translator);
}

QString fileErrorText(int number) {
    if (isQuotaExceeded(number)) return Text::tr("disk quota exceeded");
    switch (number) {
        case ENOSPC:
            return Text::tr("no space left on device");
        case EACCES:
        case EPERM:
            return Text::tr("permission denied");
        case EROFS:
            return Text::tr("read-only file system");
        case EIO:
            return Text::tr("input/output error");
        case ENOENT:
        case ENOTDIR:
            return Text::tr("no such folder");
        case ENAMETOOLONG:
            return Text::tr("file name too long");
        case EFBIG:
            return Text::tr("file too large");
        default:
            break;
    }
    return systemErrorCause(number);
}

QString usageText() {
    return Text::tr(
        "Usage:\n"
        "  plumeconv [options] IN OUT\n"
        "  plumeconv [options] --out-dir DIR [--format png|svg|pdf|emf] IN...\n"
        "  plumeconv --thumbnail SIZE IN OUT\n"
        "\n"
        "Renders an EMF or WMF file to PNG, SVG or PDF, or converts it to EMF. The format\n"
        "comes from --format, else from OUT's ending. \"-\" as IN reads standard input, as\n"
        "OUT writes standard output (then --format is needed).\n"
        "\n"
        "Options:\n"
        "  --format FMT       png, svg, pdf or emf\n"
        "  --width W          width in pixels (the height keeps the proportions)\n"
        "  --height H         height in pixels (the width keeps the proportions)\n"
        "  --dpi D            own size at D dots per inch (default 96)\n"
        "  --scale S          own size times S\n"
        "  --background C     ground colour (#rrggbb or a name), or none for transparent;\n"
        "                     default white for PNG, none for SVG and PDF\n"
        "  --no-emfplus       draw an EMF from its GDI records only\n"
        "  --time-limit S     stop drawing a file after S seconds (default 10) and write\n"
        "                     what was drawn, with a warning (exit status 8)\n"
        "  --out-dir DIR      batch: write each IN to DIR as its name with the format's ending\n"
        "  --force            batch: replace files that exist already\n"
        "  -j N, --jobs N     batch: N files at a time (default: the number of cores)\n"
        "  --thumbnail SIZE   a PNG thumbnail at most SIZE pixels a side, for file managers\n"
        "  -h, --help         this text\n"
        "  --version          the version\n"
        "\n"
        "A file cut short, or whose header cannot be read, is damaged: it fails and no\n"
        "output is written. A file whose records end early at a damaged record is drawn as\n"
        "far as it goes, written, and a warning says so. A pipe or device named as IN\n"
        "that gives nothing for 10 seconds fails; standard input is read to its end.\n"
        "\n"
        "Exit status:\n"
        "  0  success (warnings may have been printed)\n"
        "  1  batch: at least one file failed\n"
        "  2  wrong arguments\n"
        "  3  the input cannot be read or is no EMF or WMF file\n"
        "  4  the size is refused (empty frame, or beyond the raster limits), or the\n"
        "     memory ran out\n"
        "  5  the output cannot be written, or exists already (batch, without --force)\n"
        "  6  the input is damaged\n"
        "  7  the thumbnail took too long\n"
        "  8  the time limit cut a drawing short (what was drawn is written)\n");
}

QString memoryRanOut() {
    return Text::tr("not enough memory");
}

QString versionText() {
    return QStringLiteral("plumeconv %1\n").arg(QStringLiteral(PLUMECONV_VERSION));
}

void printError(const QString& message) {
    std::fprintf(stderr, "plumeconv: %s\n", qUtf8Printable(message));
}

void printWarning(const QString& message) {
    for (const QString& line : message.split(u'\n'))
        std::fprintf(stderr, "plumeconv: %s\n", qUtf8Printable(Text::tr("warning: %1").arg(line)));
}

}  // namespace plume::conv
