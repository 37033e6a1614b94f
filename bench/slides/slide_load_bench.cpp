// Loading and preparing slide pictures for a 1920 x 1080 slide window: a 1920 x 1080 JPEG (read and
// composed into the first frame of a transition), and a 24-megapixel JPEG shown stretched to fit,
// decoded at the shown size and, for comparison, in full.
//
//   tambrel_slide_load_bench [runs, default 10]

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "slides/pic_show.h"
#include "slides/picture_loader.h"
#include "slides/test_pictures.h"

namespace {

using namespace tambrel;
using Clock = std::chrono::steady_clock;

const QSize Window(1920, 1080);

struct TTimes {
  double MeanMs = 0, MaxMs = 0;
};

TTimes Measure(int runs, const std::function<void()>& run) {
  TTimes times;
  for (int i = 0; i < runs; ++i) {
    const Clock::time_point start = Clock::now();
    run();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    times.MeanMs += ms / runs;
    times.MaxMs = std::max(times.MaxMs, ms);
  }
  return times;
}

// Reads path as the slide window does and prepares the transition to it (its first frame).
void LoadAndPrepare(TPicShow& show, const QString& path, bool scaledDecode) {
  const TLoadedPicture loaded = LoadSlidePicture(path, [&](QSize picture) {
    return scaledDecode
               ? TPicShow::TargetRect(Window, picture, show.Center(), show.Stretch(), show.StretchFine())
                     .size()
               : picture;
  });
  if (!loaded.Error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(loaded.Error));
    std::exit(1);
  }
  show.SetPicture(loaded.Image);
  show.Execute();
  show.Stop();
}

QString WriteJpeg(const QTemporaryDir& dir, const char* name, QSize size) {
  const QString path = dir.filePath(name);
  if (!NewTestPicture(size).save(path, "JPEG", 90)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  QTemporaryDir dir;
  const QString hd = WriteJpeg(dir, "hd.jpg", Window), big = WriteJpeg(dir, "24mp.jpg", QSize(6000, 4000));

  TPicShow show;
  show.SetAutoSize(false);
  show.resize(Window);
  show.SetManual(true);  // the bench measures the preparation, not the animation
  show.SetCenter(true);
  show.SetStretchFine(true);

  const TTimes hdTimes = Measure(runs, [&] { LoadAndPrepare(show, hd, true); });
  show.SetStretch(true);
  const TTimes scaled = Measure(runs, [&] { LoadAndPrepare(show, big, true); });
  const TTimes full = Measure(std::max(1, runs / 2), [&] { LoadAndPrepare(show, big, false); });

  std::printf("Slide pictures on a %dx%d window (%d runs)\n", Window.width(), Window.height(), runs);
  std::printf("  1920x1080 JPEG, read and prepared:              mean %7.1f ms, max %7.1f ms\n",
              hdTimes.MeanMs, hdTimes.MaxMs);
  std::printf("  6000x4000 JPEG, stretched, decoded at shown size: mean %7.1f ms, max %7.1f ms\n",
              scaled.MeanMs, scaled.MaxMs);
  std::printf("  6000x4000 JPEG, stretched, decoded in full:       mean %7.1f ms, max %7.1f ms\n",
              full.MeanMs, full.MaxMs);
  return 0;
}
