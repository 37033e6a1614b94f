// The window program: the support start-up, then the main window, the memory window and the message
// loop. SIGTERM and SIGINT close the main window as its Exit button does.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QSocketNotifier>
#include <QUrl>
#include <cstdio>
#include <exception>

#include "app/form_tambrel.h"
#include "app/window_program_parts.h"
#include "resmon/form_resource_stats.h"
#include "slides/form_slide.h"
#include "support/app_paths.h"
#include "support/huge_page_heap.h"
#include "support/start_target.h"

namespace {

int SignalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
}

// The signals' byte reaches the window thread through the event loop, where it closes the window.
void CloseOnTerminationSignals(QWidget& window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(SignalPipe[0], &byte, 1);
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tambrel;
  UseHugePageHeap(argv);
  try {
    SupportStartup();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tambrel: %s\n", error.what());
    return 1;
  }
  QApplication app(argc, argv);
  SetTargetOpener(
      [](const std::string& target) { QDesktopServices::openUrl(QUrl(QString::fromStdString(target))); });

  TWindowProgramParts program(IniFileName(), WritablePath() + "dump.txt");
  TFormTambrelParts& parts = program.Parts;

  // The other windows exist before the main window, which routes to the slide window from its start;
  // both stay hidden until the main window shows them, and both outlive it.
  TFormResourceStats resources;
  parts.ResourceWindow = &resources;
  TFormSlide slides;
  parts.SlideWindow = &slides;
  int status = 0;
  {
    TFormTambrel window(parts);
    QObject::connect(&window, &TFormTambrel::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    CloseOnTerminationSignals(window);
    window.show();
    status = QApplication::exec();
  }
  return status;
}
