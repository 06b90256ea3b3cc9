#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

// Each test gives the viewer its own temporary folder (where the local socket lives) and home
// (where the settings folder lives), so it meets no viewer but the ones it starts itself.
class SingleInstanceTest : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir_ / "tmp");
        std::filesystem::create_directory(dir_ / "home");
        hadTmp_ = qEnvironmentVariableIsSet("TMPDIR");
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", QByteArray::fromStdString((dir_ / "tmp").string()));
    }
    void TearDown() override {
        if (hadTmp_)
            qputenv("TMPDIR", oldTmp_);
        else
            qunsetenv("TMPDIR");
    }

    std::map<std::string, std::string> ViewerEnvironment() const {
        return {{"TMPDIR", (dir_ / "tmp").string()},
                {"HOME", (dir_ / "home").string()},
                {"XDG_CONFIG_HOME", (dir_ / "home" / ".config").string()}};
    }
    std::filesystem::path SocketPath() const {
        return dir_ / "tmp" / SingleInstance::DefaultServerName().toStdString();
    }
    std::filesystem::path TraceFile() const {
        return dir_ / "home" / "Documents" / "KX-TMQ4" / "trace_sd.txt";
    }
    static std::string Viewer() { return (test::BinDir() / "KX-TMQ4_Viewer").string(); }

    test::TempDir dir_;
    bool hadTmp_ = false;
    QByteArray oldTmp_;
};

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(10 * 1000);
    }
    return true;
}

TEST_F(SingleInstanceTest, ASecondViewerHandsOverAndEndsWithoutStartingUp) {
    test::ChildProcess first(Viewer(), {}, ViewerEnvironment());
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(TraceFile()); }, 60000));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(SocketPath()); }, 60000));
    // A marker in the first viewer's trace: a second start-up would truncate the file.
    test::WriteFileBytes(TraceFile(), test::ReadFileBytes(TraceFile()) + "marker\n");

    auto second = test::RunProcess(Viewer(), {}, ViewerEnvironment());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(test::ReadFileBytes(TraceFile()), "Version : 1.05\nmarker\n");
}

TEST_F(SingleInstanceTest, TheRunningViewerIsAskedToComeToTheFront) {
    SingleInstance primary;
    ASSERT_TRUE(primary.BecomePrimary());
    int activations = 0;
    QObject::connect(&primary, &SingleInstance::activationRequested, [&] { ++activations; });

    test::ChildProcess second(Viewer(), {}, ViewerEnvironment());
    ASSERT_TRUE(WaitFor([&] { return activations == 1 && !second.Running(); }, 60000));
    EXPECT_EQ(second.Wait(0), 0);
    EXPECT_FALSE(std::filesystem::exists(TraceFile())) << "the second start ran the start-up";
}

TEST_F(SingleInstanceTest, AStaleSocketFromACrashedViewerIsTakenOver) {
    test::WriteFileBytes(SocketPath(), "");  // a socket file nobody listens on
    SingleInstance instance;
    EXPECT_TRUE(instance.BecomePrimary());
    SingleInstance another;
    EXPECT_FALSE(another.BecomePrimary());
}

}  // namespace
}  // namespace kx
