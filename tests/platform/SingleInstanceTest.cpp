// The named mutex and the window endpoint across real processes (InstanceHelper). Two users cannot be
// simulated here: the tests run as one user, so the per-user separation rests on the runtime folder's
// checks, tested in-process below.

#include "platform/RuntimeFolder.h"
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TEnvironment {
public:
  TEnvironment(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~TEnvironment() {
    if (FOld) setenv(FName.c_str(), FOld->c_str(), 1);
    else unsetenv(FName.c_str());
  }

private:
  std::string FName;
  std::optional<std::string> FOld;
};

class SingleInstanceTest : public testing::Test {
protected:
  SingleInstanceTest() : FRuntime("XDG_RUNTIME_DIR", FFolder.path().toUtf8().constData()) {}

  std::string Path(const std::string& name) const { return FFolder.path().toStdString() + "/" + name; }

  // Starts the helper and returns its first line of output.
  QProcess& Start(const QStringList& arguments, std::string* firstLine = nullptr) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(INSTANCE_HELPER);
    process->setArguments(arguments);
    process->start();
    EXPECT_TRUE(process->waitForStarted(10000));
    if (firstLine) *firstLine = FirstLine(*process);
    FProcesses.push_back(std::move(process));
    return *FProcesses.back();
  }

  static std::string FirstLine(QProcess& process) {
    while (!process.canReadLine())
      if (!process.waitForReadyRead(10000)) return "";
    return process.readLine().trimmed().toStdString();
  }

  static void End(QProcess& process) {
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(10000));
  }

  ~SingleInstanceTest() override {
    for (auto& process : FProcesses) {
      if (process->state() == QProcess::NotRunning) continue;
      ::kill(static_cast<pid_t>(process->processId()), SIGCONT);
      process->kill();
      process->waitForFinished(10000);
    }
  }

  QTemporaryDir FFolder;  // 0700, as a runtime folder is

private:
  TEnvironment FRuntime;
  std::vector<std::unique_ptr<QProcess>> FProcesses;
};

TEST_F(SingleInstanceTest, TheMutexExistsWhileAnyInstanceHoldsIt) {
  std::string line;
  QProcess& first = Start({"mutex", "Tovasel/Test"}, &line);
  EXPECT_EQ(line, "valid=1 existed=0");
  QProcess& second = Start({"mutex", "Tovasel/Test"}, &line);
  EXPECT_EQ(line, "valid=1 existed=1") << "another process holds it";
  End(first);
  Start({"mutex", "Tovasel/Test"}, &line);
  EXPECT_EQ(line, "valid=1 existed=1") << "the instance that took over holds it after the first has ended";
  End(second);
  Start({"mutex", "Tovasel/Other"}, &line);
  EXPECT_EQ(line, "valid=1 existed=0") << "names are separate";
}

TEST_F(SingleInstanceTest, TheMutexIsFreeAgainWhenItsHoldersHaveEnded) {
  std::string line;
  QProcess& first = Start({"mutex", "M"}, &line);
  ASSERT_EQ(line, "valid=1 existed=0");
  first.kill();  // an instance that crashes releases it too
  ASSERT_TRUE(first.waitForFinished(10000));
  const TNamedMutex mine("M");
  EXPECT_TRUE(mine.Valid());
  EXPECT_FALSE(mine.AlreadyExisted());
}

TEST_F(SingleInstanceTest, OfInstancesStartedTogetherExactlyOneIsFirst) {
  std::vector<QProcess*> processes;
  for (int i = 0; i < 8; ++i) processes.push_back(&Start({"mutex", "Together"}));
  int first = 0;
  for (QProcess* process : processes) {
    const std::string line = FirstLine(*process);
    EXPECT_EQ(line.rfind("valid=1", 0), 0u) << line;
    first += line == "valid=1 existed=0";
  }
  EXPECT_EQ(first, 1);
}

TEST_F(SingleInstanceTest, AWindowIsFoundBroughtToFrontAndClosedAfterItsCloseHandlerRan) {
  EXPECT_FALSE(FindWindow("TForm_Test")) << "no window yet";
  EXPECT_FALSE(SendCloseMessage("TForm_Test"));
  EXPECT_FALSE(SetForegroundWindow("TForm_Test"));

  std::string line;
  QProcess& window = Start({"window", "TForm_Test", QString::fromStdString(Path("settings"))}, &line);
  ASSERT_EQ(line, "listening=1");
  EXPECT_TRUE(FindWindow("TForm_Test"));
  EXPECT_FALSE(FindWindow("TForm_Other"));
  EXPECT_TRUE(SetForegroundWindow("TForm_Test"));
  EXPECT_EQ(FirstLine(window), "foreground");

  EXPECT_TRUE(SendCloseMessage("TForm_Test"));
  std::ifstream settings(Path("settings"));
  std::string written;
  settings >> written;
  EXPECT_EQ(written, "written") << "the answer came after the close handler had written its file";
  EXPECT_FALSE(FindWindow("TForm_Test")) << "a closed window no longer answers";
  ASSERT_TRUE(window.waitForFinished(10000));
  EXPECT_EQ(window.exitCode(), 0);
}

TEST_F(SingleInstanceTest, ALiveWindowKeepsItsNameAndADeadOnesIsTakenOver) {
  std::string line;
  QProcess& first = Start({"window", "TForm_Test", QString::fromStdString(Path("first"))}, &line);
  ASSERT_EQ(line, "listening=1");
  Start({"window", "TForm_Test", QString::fromStdString(Path("second"))}, &line);
  EXPECT_EQ(line, "listening=0") << "a second window does not steal a live window's name";
  EXPECT_TRUE(FindWindow("TForm_Test"));

  first.kill();  // leaves its socket file behind
  ASSERT_TRUE(first.waitForFinished(10000));
  EXPECT_FALSE(FindWindow("TForm_Test"));
  QProcess& third = Start({"window", "TForm_Test", QString::fromStdString(Path("third"))}, &line);
  EXPECT_EQ(line, "listening=1") << "the stale socket is replaced";
  EXPECT_TRUE(SendCloseMessage("TForm_Test"));
  EXPECT_TRUE(std::filesystem::exists(Path("third")));
  EXPECT_TRUE(third.waitForFinished(10000));
}

TEST_F(SingleInstanceTest, AHungWindowCannotHangTheAskingProcess) {
  std::string line;
  QProcess& window = Start({"window", "TForm_Test", QString::fromStdString(Path("settings"))}, &line);
  ASSERT_EQ(line, "listening=1");
  ::kill(static_cast<pid_t>(window.processId()), SIGSTOP);
  EXPECT_FALSE(FindWindow("TForm_Test")) << "no answer within the time-out";
  ::kill(static_cast<pid_t>(window.processId()), SIGCONT);
  EXPECT_TRUE(FindWindow("TForm_Test"));
}

TEST(RuntimeFolder, APrivateRuntimeFolderElseOneOfOurOwnUnderTmp) {
  QTemporaryDir runtime;
  {
    const TEnvironment environment("XDG_RUNTIME_DIR", runtime.path().toUtf8().constData());
    EXPECT_EQ(RuntimeFolder(), runtime.path().toStdString());
  }
  const std::string fallback = "/tmp/tovasel-" + std::to_string(::getuid());
  const std::string open = runtime.path().toStdString();
  ::chmod(open.c_str(), 0755);
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative/folder", "/no/such/folder", open.c_str()}) {
    const std::string shown = value ? value : "(unset)";
    const TEnvironment environment("XDG_RUNTIME_DIR", value);
    EXPECT_EQ(RuntimeFolder(), fallback) << shown;
  }
  struct stat info {};
  ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(RuntimeFileName("MyUniqueAppMutex_Tovasel"), "MyUniqueAppMutex_Tovasel");
  EXPECT_EQ(RuntimeFileName("a/b c"), "a%2Fb%20c");
  EXPECT_EQ(RuntimeFileName(".."), "%..");
}

}  // namespace
