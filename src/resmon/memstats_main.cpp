// The memory statistics window on its own, for a person to watch the figures.
#include <QApplication>

#include "resmon/form_resource_stats.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tambrel::TFormResourceStats form;
  // Alone, the window is the program: closing it ends it.
  form.setAttribute(Qt::WA_QuitOnClose, true);
  form.show();
  return QApplication::exec();
}
