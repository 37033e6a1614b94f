// Saves the X screen of $DISPLAY as a PNG file: the whole-program tests' screenshots.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tambrel-screen-grab OUT.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "tambrel-screen-grab: cannot grab the screen into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
