// The message area under a trace burst, in the shape the main window uses: a producer thread hands
// lines to the window thread through a locked queue and a queued call, the window thread writes them
// into a 1000 x 80 terminal in a scroll box that follows the cursor, and a 10 ms heartbeat timer on
// the window thread measures how late it runs. Every line must arrive, in order.
//
//   QT_QPA_PLATFORM=offscreen tambrel_vterm_widget_bench [lines per second, default 5000] [seconds, default
//   5]

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/text_format.h"
#include "terminal/vterm_widget.h"

namespace tambrel {
namespace {

using Clock = std::chrono::steady_clock;

struct TTraceQueue {
  std::mutex Lock;
  std::deque<std::string> Lines;  // guarded by Lock
};

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  using namespace tambrel;
  const int rate = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
  const int total = rate * seconds;
  QApplication app(argc, argv);

  QScrollArea box;
  auto* terminal = new TVTerm(nullptr, "/nonexistent/LOG.TXT");
  terminal->SetRows(1000);
  terminal->SetCols(80);
  terminal->SetAutoWrap(true);
  terminal->SetAutoWrapCol(23);
  box.setWidget(terminal);
  box.resize(800, 600);
  // The Debug tab's cursor tracking: the cursor's cell stays at the right and bottom edge of the view.
  QObject::connect(terminal, &TCustomVTerm::OnCursorMoved, &box, [&](int col, int row) {
    const QSize view = box.viewport()->size();
    box.horizontalScrollBar()->setValue(std::max(0, terminal->CharWidth() * col - view.width()));
    box.verticalScrollBar()->setValue(std::max(0, terminal->LineHeight() * (row + 1) - view.height()));
  });
  box.show();

  TTraceQueue queue;
  int received = 0;
  int outOfOrder = 0;
  int drains = 0;
  const auto drain = [&] {
    std::deque<std::string> lines;
    {
      std::lock_guard<std::mutex> guard(queue.Lock);
      lines.swap(queue.Lines);
    }
    ++drains;
    for (const std::string& line : lines) {
      if (std::atoi(line.c_str() + 5) != received) ++outOfOrder;
      ++received;
      terminal->WriteLn(line);
    }
    if (received == total) QTimer::singleShot(50, &app, &QApplication::quit);
  };

  std::vector<double> lateMs;
  auto expected = Clock::now() + std::chrono::milliseconds(10);
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    lateMs.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - expected).count()));
    expected = now + std::chrono::milliseconds(10);
  });
  heartbeat.start(10);

  const auto start = Clock::now();
  std::thread producer([&] {
    for (int i = 0; i < total; ++i) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t{1000000} * i / rate));
      const std::string line = StrFormat("line %06d 00000:01.234 1 90 3C 64 80 3C 00", i);
      bool wasEmpty;
      {
        std::lock_guard<std::mutex> guard(queue.Lock);
        wasEmpty = queue.Lines.empty();
        queue.Lines.push_back(line);
      }
      if (wasEmpty) QMetaObject::invokeMethod(terminal, drain, Qt::QueuedConnection);
    }
  });
  QApplication::exec();
  producer.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::sort(lateMs.begin(), lateMs.end());
  const double p99 = lateMs.empty() ? 0 : lateMs[lateMs.size() * 99 / 100];
  const double worst = lateMs.empty() ? 0 : lateMs.back();
  std::printf("%d lines at %d/s over %.2f s: %d received, %d out of order, %d drains\n", total, rate, elapsed,
              received, outOfOrder, drains);
  std::printf(
      "heartbeat (10 ms): %zu beats, lateness p99 %.1f ms, max %.1f ms (target: never more than 100 ms)\n",
      lateMs.size(), p99, worst);
  const bool ok = received == total && outOfOrder == 0 && worst <= 100;
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
