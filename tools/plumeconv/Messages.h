#pragma once

// What plumeconv says: its exit codes, its texts in the user's language (Qt translation
// files; Japanese under a ja locale, English otherwise), and the lines it writes to stderr.

#include <QCoreApplication>
#include <QString>

namespace plume::conv {

// Documented in --help and in the man page; keep the three in step.
enum ExitCode {
    kOk = 0,
    kSomeFailed = 1,    // batch: at least one file failed (each one said why)
    kUsage = 2,         // wrong arguments, an unknown format or option
    kBadInput = 3,      // the input cannot be read or is no EMF or WMF file
    kBadSize = 4,       // the size is refused (empty frame, beyond the raster limits), or
                        // the memory ran out
    kCannotWrite = 5,   // the output cannot be written, or exists already in batch mode
    kDamaged = 6,       // the input is damaged: cut short, or its header cannot be read
    kTooSlow = 7,       // a thumbnail took longer than its time bound
    kCutShort = 8,      // written, but the time limit cut the drawing short (warned)
};

// The translation context of every text plumeconv shows.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(Plumeconv)
};

// Installs the translation of the system locale's language when there is one (Japanese).
void installTranslation();

// The cause of a failed write from its error number, in the user's language ("no space left
// on device" for ENOSPC); the system's own text for a rare one.
QString fileErrorText(int number);

QString usageText();
// The words for memory that ran out.
QString memoryRanOut();
QString versionText();

// One line on stderr, "plumeconv: " before it; `warning` marks a line that is no failure
// (a line each for a message of several lines).
void printError(const QString& message);
void printWarning(const QString& message);

}  // namespace plume::conv
