#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

namespace {

// A process whose main returns while another thread is still ending ends: the bound is only
// there so that a fault fails the test rather than stopping the whole run.
TEST(ProcessEnd, EndsWhileAnotherThreadIsStillEnding) {
    QProcess probe;
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/exitprobe.exe"));
    ASSERT_TRUE(probe.waitForStarted());
    const bool ended = probe.waitForFinished(60000);
    if (!ended) probe.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
}

}  // namespace
