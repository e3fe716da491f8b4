// plumeconv's inputs that are no plain files (devices, named pipes, standard input through a
// real pipe from another program), closed standard streams and memory that runs out: what a
// POSIX shell and its devices give.

#include "PlumeconvCommandFixture.h"
#include "Convert.h"
#include "PlumeconvRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QProcess>

namespace plume {
namespace {

TEST_F(PlumeconvCommandTest, DevicesAndPipesAreReadNoFurtherThanTheLimit) {
    const ProcessRun zero = plumeconv({"/dev/zero", path("z.png")}, inLanguage("C"));
    EXPECT_EQ(zero.exitCode, 3);
    EXPECT_TRUE(zero.stderrText.contains("/dev/zero is larger than 256 MB"))
        << zero.stderrText.toStdString();

    // A named pipe whose writer never comes is given up.
    const QString fifo = path("pipe.emf");
    if (!test::makeFifo(fifo))
        GTEST_SKIP() << "this file system has no named pipes";
    Expected<QByteArray> silent = Expected<QByteArray>::success({});
    EXPECT_TRUE(test::returnsWhileFifoSilent(fifo, [&] { silent = conv::readInput(fifo, 200); }));
    EXPECT_TRUE(silent.error().contains("nothing came from")) << silent.error().toStdString();

    // One that comes late and writes in pieces is read to its end.
    const ProcessRun late = plumeconvInShell(
        QStringLiteral("(sleep 0.3; %1; sleep 0.2; %2) > '%3' & \"$PLUMECONV\" '%3' '%4'; wait")
            .arg(piece(0, 100), piece(100), fifo, path("late.png")),
        inLanguage("C"));
    EXPECT_EQ(late.exitCode, 0) << late.stderrText.toStdString();
    EXPECT_TRUE(isTheDrawing(path("late.png")));
}

TEST_F(PlumeconvCommandTest, StandardInputIsReadToTheEndOfTheStream) {
    // A writer that pauses between pieces, as a program producing the drawing does.
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const qsizetype cut = 40 + run * (bytes.size() - 80) / 10;
        const ProcessRun piped =
            plumeconvInShell(QStringLiteral("{ %1; sleep 0.05; %2; } | \"$PLUMECONV\" - '%3'")
                                 .arg(piece(0, cut), piece(cut), path("piped.png")),
                             inLanguage("C"));
        EXPECT_EQ(piped.exitCode, 0) << piped.stderrText.toStdString();
        EXPECT_TRUE(isTheDrawing(path("piped.png")));
    }
}

TEST_F(PlumeconvCommandTest, ClosedStandardStreamsAreNamed) {
    // Without care, the first file or socket opened takes the closed stream's number.
    const ProcessRun out = plumeconvInShell(
        QStringLiteral("\"$PLUMECONV\" '%1' - --format png >&-").arg(emfPath), inLanguage("C"));
    EXPECT_EQ(out.exitCode, 5);
    EXPECT_EQ(out.stderrText, "plumeconv: standard output is closed\n");
    const ProcessRun in = plumeconvInShell(
        QStringLiteral("\"$PLUMECONV\" - '%1' <&-").arg(path("in.png")), inLanguage("C"));
    EXPECT_EQ(in.exitCode, 3);
    EXPECT_EQ(in.stderrText, "plumeconv: standard input is closed\n");
}

TEST_F(PlumeconvCommandTest, MemoryThatRunsOutEndsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
    // Enough to start and convert a small drawing, too little for the input limit's bytes.
    const auto capped = [](QProcess& process) {
        process.setChildProcessModifier([] {
            const rlimit cap{192L << 20, 192L << 20};
            setrlimit(RLIMIT_AS, &cap);
        });
    };
    const ProcessRun one = plumeconv({"/dev/zero", path("z.png")}, inLanguage("C"), {}, capped);
    EXPECT_EQ(one.exitCode, 4);
    EXPECT_EQ(one.stderrText, "plumeconv: /dev/zero: not enough memory\n");

    // In a batch the other files are converted.
    const ProcessRun batch =
        plumeconv({"--out-dir", dir.path(), "-j", "1", "/dev/zero", emfPath, "--format", "png"},
                  inLanguage("C"), {}, capped);
    EXPECT_EQ(batch.exitCode, 1) << batch.stderrText.toStdString();
    EXPECT_TRUE(batch.stderrText.contains("not enough memory")) << batch.stderrText.toStdString();
    EXPECT_TRUE(isTheDrawing(path("drawing.png")));
}

}  // namespace
}  // namespace plume
