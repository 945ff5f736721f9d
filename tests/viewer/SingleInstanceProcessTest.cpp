// One viewer at a time, with real processes: a copy of the program in a folder of the test's own (so
// that its settings file is the test's), offscreen, with a runtime folder of its own.

#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class SingleInstanceProcessTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.isValid());
    const std::filesystem::path app = Path("app");
    std::filesystem::create_directories(app);
    std::filesystem::copy_file(TOVASEL_PATH, app / "Tovasel");
    std::filesystem::copy_file(TVKERNEL_PATH, app / std::filesystem::path(TVKERNEL_PATH).filename());
    std::filesystem::create_directories(Path("run"));
    std::filesystem::permissions(Path("run"), std::filesystem::perms::owner_all);
    std::filesystem::create_directories(Path("pictures"));
    // This process asks for the window the same way a second instance does.
    setenv("XDG_RUNTIME_DIR", Path("run").c_str(), 1);
  }
  void TearDown() override {
    for (auto& process : FProcesses)
      if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
      }
  }

  std::string Path(const std::string& relative) const { return FTemp.path().toStdString() + "/" + relative; }

  QProcess& Launch(const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(Path("run")));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(Path("config")));
    process->setProcessEnvironment(environment);
    process->setProgram(QString::fromStdString(Path("app/Tovasel")));
    process->setArguments(arguments);
    process->start();
    EXPECT_TRUE(process->waitForStarted(10000));
    FProcesses.push_back(std::move(process));
    return *FProcesses.back();
  }

  // Waits until a window answers under the class name.
  static bool WindowAppears() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
      if (FindWindow("TForm_Tovasel")) return true;
      QThread::msleep(50);
    }
    return false;
  }

  std::string Settings() const {
    std::ifstream in(Path("app/Tovasel.ini"));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

private:
  QTemporaryDir FTemp;
  std::vector<std::unique_ptr<QProcess>> FProcesses;
};

TEST_F(SingleInstanceProcessTest, SecondStartWithoutAPathLeavesTheFirstRunning) {
  QProcess& first = Launch({});
  ASSERT_TRUE(WindowAppears());
  QProcess& second = Launch({});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_TRUE(SendCloseMessage("TForm_Tovasel"));
  ASSERT_TRUE(first.waitForFinished(20000));
  EXPECT_NE(Settings().find("[form]"), std::string::npos) << "the first wrote its settings on closing";
}

TEST_F(SingleInstanceProcessTest, SecondStartWithAPathTakesOver) {
  QProcess& first = Launch({});
  ASSERT_TRUE(WindowAppears());
  QProcess& second = Launch({QString::fromStdString(Path("pictures"))});
  ASSERT_TRUE(first.waitForFinished(20000)) << "the first viewer closes";
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_NE(Settings().find("filOrZip=0"), std::string::npos) << "its settings were written before it ended";
  ASSERT_TRUE(WindowAppears()) << "the second one is the viewer now";
  EXPECT_EQ(second.state(), QProcess::Running);
  // It holds the rule now: a third start without a path ends at once.
  QProcess& third = Launch({});
  ASSERT_TRUE(third.waitForFinished(20000));
  EXPECT_EQ(second.state(), QProcess::Running);
  EXPECT_TRUE(SendCloseMessage("TForm_Tovasel"));
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_NE(Settings().find("filOrZip=2"), std::string::npos);
  EXPECT_NE(Settings().find("zipFilMei=" + Path("pictures")), std::string::npos);
}

}  // namespace
