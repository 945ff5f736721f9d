// The drop-target helper on real widgets: drags are delivered as the platform delivers them, an
// enter first and then the drop, through the application's event dispatch.

#include "dropfile/DropFile.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A control with drop handling of its own, to show that the helper chains to it.
class TCountingPanel : public QWidget {
public:
  using QWidget::QWidget;
  int OwnDrops = 0;

protected:
  void dropEvent(QDropEvent*) override { ++OwnDrops; }
};

struct TDropCall {
  QObject* Sender;
  QWidget* Control;
  std::vector<std::string> FileNames;
};

QList<QUrl> Files(const std::vector<std::string>& paths) {
  QList<QUrl> urls;
  for (const std::string& path : paths) urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
  return urls;
}

class DropFileTest : public testing::Test {
protected:
  void SetUp() override {
    Window.resize(400, 300);
    Panel = new TCountingPanel(&Window);
    Panel->setObjectName("pnlGamen");
    Panel->setGeometry(0, 0, 200, 300);
    Sibling = new QWidget(&Window);
    Sibling->setObjectName("ListBox1");
    Sibling->setGeometry(200, 0, 200, 300);
    Window.show();
  }

  TDropFileEvent Recorder() {
    return [this](QObject* sender, QWidget* control, const std::vector<std::string>& files) {
      Calls.push_back({sender, control, files});
    };
  }

  // An enter and, when the enter was taken, the drop; returns whether the drop was accepted.
  bool Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }
  bool Drop(QWidget* target, const std::vector<std::string>& paths) { return Drop(target, Files(paths)); }

  QWidget Window;
  TCountingPanel* Panel;
  QWidget* Sibling;
  std::vector<TDropCall> Calls;
};

TEST_F(DropFileTest, AttachingTwiceHooksOnceAndChainsToTheControl) {
  TDropFile drop;
  drop.SetOnDropReceived(Recorder());
  drop.Attach(Panel);
  drop.Attach(Panel);
  EXPECT_TRUE(Panel->acceptDrops());
  EXPECT_TRUE(Drop(Panel, {"/home/user/a.jpg"}));
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Sender, nullptr);
  EXPECT_EQ(Calls[0].Control, Panel);
  EXPECT_EQ(Calls[0].FileNames, std::vector<std::string>{"/home/user/a.jpg"});
  EXPECT_EQ(Panel->OwnDrops, 1);
}

TEST_F(DropFileTest, DetachRestoresTheControlsOwnAcceptDrops) {
  for (const bool before : {false, true}) {
    SCOPED_TRACE(before);
    Calls.clear();
    Panel->setAcceptDrops(before);
    TDropFile drop;
    drop.SetOnDropReceived(Recorder());
    drop.Attach(Panel);
    drop.Detach(Panel);
    EXPECT_FALSE(drop.IsAttached(Panel));
    EXPECT_EQ(Panel->acceptDrops(), before);
    EXPECT_FALSE(Drop(Panel, {"/tmp/a.png"}));
    EXPECT_TRUE(Calls.empty());
    drop.Detach(Panel);  // a second detach is a no-op
    EXPECT_EQ(Panel->acceptDrops(), before);
  }
}

TEST_F(DropFileTest, UnattachedControlIsLeftAlone) {
  Sibling->setAcceptDrops(true);
  TDropFile drop;
  drop.SetOnDropReceived(Recorder());
  drop.Attach(Panel);
  drop.Detach(Sibling);
  EXPECT_TRUE(Sibling->acceptDrops());
  EXPECT_TRUE(drop.IsAttached(Panel));
  EXPECT_FALSE(Drop(Sibling, {"/tmp/a.png"}));
  EXPECT_TRUE(Calls.empty());
  EXPECT_TRUE(Drop(Panel, {"/tmp/a.png"}));
  EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(DropFileTest, DestroyingTheHelperDetachesEveryControl) {
  auto drop = std::make_unique<TDropFile>();
  drop->SetOnDropReceived(Recorder());
  drop->Attach(Panel);
  drop->Attach(Sibling);
  drop.reset();
  EXPECT_FALSE(Panel->acceptDrops());
  EXPECT_FALSE(Sibling->acceptDrops());
  EXPECT_FALSE(Drop(Panel, {"/tmp/a.png"}));
  EXPECT_FALSE(Drop(Sibling, {"/tmp/a.png"}));
  EXPECT_TRUE(Calls.empty());
}

TEST_F(DropFileTest, ControlDestroyedWhileAttachedLeavesNoTarget) {
  TDropFile drop;
  drop.SetOnDropReceived(Recorder());
  drop.Attach(Panel);
  drop.Attach(Sibling);
  const QWidget* gone = Panel;
  delete Panel;
  EXPECT_FALSE(drop.IsAttached(gone));
  EXPECT_TRUE(drop.IsAttached(Sibling));
  EXPECT_TRUE(Drop(Sibling, {"/tmp/a.png"}));
  EXPECT_EQ(Calls.size(), 1u);
}  // the helper's destructor must not touch the deleted control

TEST_F(DropFileTest, DropDeliversEveryLocalPathWholeAndInOrder) {
  const std::string deep = "/home/user/" + std::string(380, 'd') + "/photo.jpg";
  ASSERT_GT(deep.size(), 400u);
  const struct {
    const char* Name;
    QList<QUrl> Urls;
    std::vector<std::string> Expected;
  } cases[] = {
      {"long path", Files({deep}), {deep}},
      {"three files keep their order", Files({"/p/c.png", "/p/a.png", "/p/b.png"}), {"/p/c.png", "/p/a.png", "/p/b.png"}},
      {"folder and Japanese names", Files({"/写真/旅行", "/写真/夏 休み.jpg"}), {"/写真/旅行", "/写真/夏 休み.jpg"}},
      {"other URLs are skipped",
       {QUrl("https://example.org/a.png"), QUrl::fromLocalFile("/p/x.png"), QUrl("mailto:someone@example.org")},
       {"/p/x.png"}},
  };
  TDropFile drop;
  drop.SetOnDropReceived(Recorder());
  drop.Attach(Panel);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Calls.clear();
    EXPECT_TRUE(Drop(Panel, c.Urls));
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].FileNames, c.Expected);
  }
}

TEST_F(DropFileTest, DragWithoutLocalFilesIsRefused) {
  TDropFile drop;
  drop.SetOnDropReceived(Recorder());
  drop.Attach(Panel);
  EXPECT_FALSE(Drop(Panel, QList<QUrl>{QUrl("https://example.org/a.png")}));
  EXPECT_FALSE(Drop(Panel, QList<QUrl>{}));
  EXPECT_TRUE(Calls.empty());
}

TEST_F(DropFileTest, HandlerIsTakenWhenTheControlIsAttached) {
  std::vector<std::string> seen;
  TDropFile drop;
  drop.SetOnDropReceived([&](QObject*, QWidget*, const std::vector<std::string>&) { seen.push_back("first"); });
  drop.Attach(Panel);
  drop.SetOnDropReceived([&](QObject*, QWidget*, const std::vector<std::string>&) { seen.push_back("second"); });
  drop.Attach(Sibling);
  Drop(Panel, {"/tmp/a.png"});
  Drop(Sibling, {"/tmp/a.png"});
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
}

TEST_F(DropFileTest, DropWithoutHandlerIsStillTaken) {
  TDropFile drop;
  drop.Attach(Panel);
  EXPECT_TRUE(Drop(Panel, {"/tmp/a.png"}));
  EXPECT_EQ(Panel->OwnDrops, 1);
}

TEST_F(DropFileTest, HandlerMayDetachItsOwnControl) {
  TDropFile drop;
  drop.SetOnDropReceived([&](QObject*, QWidget* control, const std::vector<std::string>&) { drop.Detach(control); });
  drop.Attach(Panel);
  EXPECT_TRUE(Drop(Panel, {"/tmp/a.png"}));
  EXPECT_FALSE(drop.IsAttached(Panel));
  EXPECT_FALSE(Panel->acceptDrops());
  EXPECT_EQ(Panel->OwnDrops, 1);
}

// Attach and detach notes are debug output of a category of their own, silent unless switched on.
std::vector<std::string> LoggedLines;
void RecordMessage(QtMsgType, const QMessageLogContext& context, const QString& text) {
  if (std::string(context.category) == "tovasel.dropfile") LoggedLines.push_back(text.toStdString());
}

TEST_F(DropFileTest, DiagnosticsAreSilentUnlessTheirCategoryIsOn) {
  LoggedLines.clear();
  const QtMessageHandler previous = qInstallMessageHandler(RecordMessage);
  {
    TDropFile drop;
    drop.Attach(Panel);
    drop.Detach(Panel);
  }
  EXPECT_TRUE(LoggedLines.empty());
  QLoggingCategory::setFilterRules("tovasel.dropfile.debug=true");
  {
    TDropFile drop;
    drop.Attach(Panel);
    drop.Detach(Panel);
  }
  QLoggingCategory::setFilterRules(QString());
  qInstallMessageHandler(previous);
  EXPECT_EQ(LoggedLines, (std::vector<std::string>{"Attached: pnlGamen", "Detached: pnlGamen"}));
}

}  // namespace
