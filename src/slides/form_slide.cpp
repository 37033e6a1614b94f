#include "slides/form_slide.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <utility>

#include "slides/pic_show.h"
#include "slides/picture_loader.h"
#include "ui_form_slide.h"

namespace tambrel {

namespace {

std::vector<std::string> ReaderExtensions() {
  std::vector<std::string> extensions;
  for (const QString& extension : PictureExtensions()) extensions.push_back(extension.toStdString());
  return extensions;
}

}  // namespace

TFormSlide::TFormSlide(QWidget* parent)
    : QWidget(parent, Qt::Window),
      Form(std::make_unique<Ui::FormSlide>()),
      Queue(std::make_shared<TSlideCommandQueue>()),
      SlideController(*this, Queue, ReaderExtensions()) {
  Form->setupUi(this);
  // Closing the main window ends the program even while the slides are shown.
  setAttribute(Qt::WA_QuitOnClose, false);
  TPicShow* show = Form->PicShow;
  show->setFocusPolicy(Qt::NoFocus);
  show->SetColor(Qt::black);
  show->SetBgMode(TPicShow::bmNone);
  const TSlideState& state = SlideController.State();
  show->SetAutoSize(state.AutoSize);
  show->SetCenter(state.Center);
  show->SetDelay(state.Delay);
  show->SetStretchFine(state.StretchFine);
  show->SetStep(state.Step);
  show->SetStyle(state.Style);
  connect(show, &TPicShow::Completed, this,
          [this](bool finished) { SlideController.TransitionComplete(finished); });
  // Posts wake the window thread through its event loop: one drain applies everything posted by then.
  Queue->SetWake([this] {
    QMetaObject::invokeMethod(
        this, [this] { SlideController.DrainQueue(); }, Qt::QueuedConnection);
  });
  SlideController.Create();
}

TFormSlide::~TFormSlide() {
  Queue->SetWake({});
  disconnect(Form->PicShow, nullptr, this, nullptr);
  SlideController.Destroy();
}

void TFormSlide::SetPictureRoot(const std::string& dir) {
  SlideController.SetPictureRoot(dir);
}

std::function<void(std::span<const uint8_t>)> TFormSlide::SlideEntry() const {
  return SlideEntryFor(Queue);
}

void TFormSlide::ShowSlides() {
  SlideController.Apply({TSlideCommandCode::ShowWindow, 1});
}

void TFormSlide::SetErrorDisplay(std::function<void(const QString& text)> display) {
  ErrorDisplay = std::move(display);
}

TPicShow* TFormSlide::PicShow() const {
  return Form->PicShow;
}

void TFormSlide::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (modifiers == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    SlideController.KeyDown(TSlideKey::Enter);
  } else if (modifiers == Qt::NoModifier && key == Qt::Key_Space) {
    SlideController.KeyDown(TSlideKey::Space);
  } else if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
    SlideController.KeyDown(TSlideKey::Escape);
  } else if (modifiers == Qt::AltModifier && key == Qt::Key_X) {
    SlideController.KeyDown(TSlideKey::AltX);
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TFormSlide::closeEvent(QCloseEvent* event) {
  SlideController.WindowClosed();
  event->accept();  // hidden, not destroyed
}

void TFormSlide::ApplySetting(TSlideCommandCode setting, uint16_t value) {
  TPicShow* show = Form->PicShow;
  const bool on = value != 0;
  switch (setting) {
    case TSlideCommandCode::AutoSize:
      show->SetAutoSize(on);
      break;
    case TSlideCommandCode::Center:
      show->SetCenter(on);
      break;
    case TSlideCommandCode::Delay:
      show->SetDelay(value);
      break;
    case TSlideCommandCode::Manual:
      show->SetManual(on);
      break;
    case TSlideCommandCode::Reverse:
      show->SetReverse(on);
      break;
    case TSlideCommandCode::Step:
      show->SetStep(value);
      break;
    case TSlideCommandCode::Stretch:
      show->SetStretch(on);
      break;
    case TSlideCommandCode::StretchFine:
      show->SetStretchFine(on);
      break;
    case TSlideCommandCode::Style:
      show->SetStyle(value);
      break;
    case TSlideCommandCode::Progress:
      show->SetProgress(value);
      break;
    default:
      break;
  }
}

bool TFormSlide::TransitionBusy() const {
  return Form->PicShow->Busy();
}

void TFormSlide::StopTransition() {
  Form->PicShow->Stop();
}

QSize TFormSlide::ShownArea() const {
  return SlideController.State().FullScreen ? screen()->geometry().size() : size();
}

std::string TFormSlide::LoadPicture(const std::string& path) {
  TPicShow* show = Form->PicShow;
  const QSize area = ShownArea();
  const TLoadedPicture loaded = LoadSlidePicture(QString::fromStdString(path), [&](QSize picture) {
    return TPicShow::TargetRect(area, picture, show->Center(), show->Stretch(), show->StretchFine()).size();
  });
  if (!loaded.Error.isEmpty()) return loaded.Error.toStdString();
  show->SetPicture(loaded.Image);
  return {};
}

void TFormSlide::ExecuteTransition() {
  Form->PicShow->Execute();
}

void TFormSlide::ShowWindow(bool shown) {
  if (!shown) return hide();
  show();
  raise();
  activateWindow();
}

void TFormSlide::SetFullScreen(bool on) {
  if (on) {
    setWindowState(windowState() | Qt::WindowFullScreen);
    return;
  }
  setWindowState(windowState() & ~Qt::WindowFullScreen);
  const QRect area = screen()->geometry();
  setGeometry(area.x() + 20, area.y() + 20, area.width() / 2, area.height() / 2);
}

void TFormSlide::SetCursorShown(bool shown) {
  if (shown) {
    unsetCursor();
  } else {
    setCursor(Qt::BlankCursor);
  }
}

void TFormSlide::ShowMessageLater(bool warning, const QString& text) {
  QMetaObject::invokeMethod(
      this,
      [this, warning, text] {
        auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Critical, windowTitle(),
                                    text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
      },
      Qt::QueuedConnection);
}

void TFormSlide::ShowWarning(const std::string& text) {
  ShowMessageLater(true, QString::fromStdString(text));
}

void TFormSlide::ShowError(const std::string& text) {
  if (ErrorDisplay) return ErrorDisplay(QString::fromStdString(text));
  ShowMessageLater(false, QString::fromStdString(text));
}

void TFormSlide::QuitProgram() {
  // exit, not quit: quit first closes every window, and the main window's closing steps must not run.
  QCoreApplication::exit(0);
}

}  // namespace tambrel
