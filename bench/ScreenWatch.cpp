// Times any viewer from the outside, by what the screen shows: starts the viewer, waits until a
// photo fills the watched part of the screen (most of its samples colourful, where windows, frames
// and empty backgrounds are grey or black), then gives the window under it the keyboard and sends
// the key Right (xdotool) STEPS - 1 times, each once the screen has been still for a while, and
// waits each time until most samples have changed. The same yardstick for every viewer, ours
// included; it needs no help from the viewer, so it also measures viewers that cannot be told to
// quit. Prints the time to the first photo and each step in milliseconds. The watched part (480 x
// 180 at 260, 130) lies inside the picture area of each viewer the benchmark starts (ours at its
// default size, feh with -g 800x500, qimgv as it opens).
// Usage: tovasel_screen_watch STEPS COMMAND [ARGUMENT ...]

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr QRect kWatched(260, 130, 480, 180);
constexpr int kSampleStep = 4;
// A sample is colourful when its channels spread this far; a photo is shown when this share of the
// samples is; a step has happened when this share differs from the photo before by kChanged.
constexpr int kColourful = 24;
constexpr double kShownShare = 0.5;
constexpr int kChanged = 24;
constexpr double kChangedShare = 0.5;
// The screen counts as still after this long without a change; a photo must come within the limit.
constexpr auto kStill = std::chrono::milliseconds(400);
constexpr auto kLimit = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(3);

using TSamples = std::vector<QRgb>;

TSamples Sample(QScreen& screen) {
  const QImage image = screen.grabWindow(0, kWatched.x(), kWatched.y(), kWatched.width(), kWatched.height())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  TSamples samples;
  for (int y = 0; y < image.height(); y += kSampleStep) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); x += kSampleStep) samples.push_back(line[x]);
  }
  return samples;
}

bool Colourful(QRgb c) {
  const int r = qRed(c), g = qGreen(c), b = qBlue(c);
  return std::max({r, g, b}) - std::min({r, g, b}) >= kColourful;
}

bool Differs(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) >= kChanged || std::abs(qGreen(a) - qGreen(b)) >= kChanged ||
         std::abs(qBlue(a) - qBlue(b)) >= kChanged;
}

double Share(const TSamples& samples, auto&& test) {
  size_t count = 0;
  for (size_t i = 0; i < samples.size(); ++i) count += test(i) ? 1 : 0;
  return samples.empty() ? 0 : static_cast<double>(count) / static_cast<double>(samples.size());
}

bool PhotoShown(const TSamples& now) { return Share(now, [&](size_t i) { return Colourful(now[i]); }) >= kShownShare; }

bool Changed(const TSamples& now, const TSamples& before) {
  return before.size() == now.size() && PhotoShown(now) &&
         Share(now, [&](size_t i) { return Differs(now[i], before[i]); }) >= kChangedShare;
}

double Milliseconds(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Polls until the test holds; returns the samples then and the time it first held.
TSamples WaitFor(QScreen& screen, TClock::time_point start, auto&& test, TClock::time_point& when) {
  while (TClock::now() - start < kLimit) {
    TSamples now = Sample(screen);
    if (test(now)) {
      when = TClock::now();
      return now;
    }
    std::this_thread::sleep_for(kPoll);
  }
  throw std::runtime_error("no photo on the screen in time");
}

// Waits until nothing in the watched part has changed for kStill; returns what it shows then.
TSamples WaitUntilStill(QScreen& screen) {
  TSamples last = Sample(screen);
  auto since = TClock::now();
  const auto start = since;
  while (TClock::now() - since < kStill) {
    if (TClock::now() - start > kLimit) throw std::runtime_error("the screen does not settle");
    std::this_thread::sleep_for(kPoll);
    TSamples now = Sample(screen);
    if (now != last) {
      last = std::move(now);
      since = TClock::now();
    }
  }
  return last;
}

int Watch(int steps, const QString& program, const QStringList& arguments) {
  QScreen& screen = *QGuiApplication::primaryScreen();
  QProcess viewer;
  viewer.setStandardOutputFile(QProcess::nullDevice());
  viewer.setStandardErrorFile(QProcess::nullDevice());
  const auto start = TClock::now();
  viewer.start(program, arguments);
  if (!viewer.waitForStarted()) throw std::runtime_error("cannot start " + program.toStdString());
  TClock::time_point shown;
  WaitFor(screen, start, PhotoShown, shown);
  std::printf("first %.1f", Milliseconds(shown - start));

  std::vector<double> times;
  // Without a window manager nobody gives the viewer the keyboard: focus the window under the
  // middle of the watched part, as a click would, but without clicking into the picture.
  const QPoint middle = kWatched.center();
  if (steps > 1 && QProcess::execute("sh", {"-c", QString("xdotool mousemove %1 %2 && eval $(xdotool getmouselocation --shell) && "
                                                          "xdotool windowfocus --sync \"$WINDOW\"")
                                                      .arg(middle.x())
                                                      .arg(middle.y())}) != 0)
    throw std::runtime_error("cannot focus the viewer");
  for (int step = 1; step < steps; ++step) {
    const TSamples before = WaitUntilStill(screen);
    const auto pressed = TClock::now();
    if (QProcess::execute("xdotool", {"key", "Right"}) != 0) throw std::runtime_error("xdotool failed");
    TClock::time_point changed;
    WaitFor(screen, pressed, [&](const TSamples& now) { return Changed(now, before); }, changed);
    times.push_back(Milliseconds(changed - pressed));
  }
  if (!times.empty()) std::printf(" steps");
  for (double t : times) std::printf(" %.1f", t);
  std::printf("\n");
  viewer.terminate();
  if (!viewer.waitForFinished(3000)) viewer.kill();
  viewer.waitForFinished(3000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tovasel_screen_watch STEPS COMMAND [ARGUMENT ...]\n");
    return 2;
  }
  // Taken before Qt reads its own options out of the command line.
  const int steps = std::max(1, std::atoi(argv[1]));
  const QString program = QString::fromLocal8Bit(argv[2]);
  QStringList arguments;
  for (int i = 3; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  int qtArgc = 1;
  QGuiApplication application(qtArgc, argv);
  try {
    return Watch(steps, program, arguments);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tovasel_screen_watch: %s\n", error.what());
    return 1;
  }
}
