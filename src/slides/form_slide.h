#pragma once
// TFormSlide: the slide window. It shows the pictures of the picture root through its one transition
// control, steered by slide commands (posted from any thread) and a few keys.
//
// The main window creates it at start, calls SetPictureRoot once, shows it (ShowSlides) and connects
// the routing unit's slide hook to SlideEntry(). The window never keeps the program alive: closing the
// main window ends the program while this one is still shown.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "slides/slide_command_queue.h"
#include "slides/slide_controller.h"
#include "slides/slide_view.h"

namespace Ui {
class FormSlide;
}

namespace tambrel {

class TPicShow;

class TFormSlide : public QWidget, private TSlideView {
  Q_OBJECT

 public:
  explicit TFormSlide(QWidget* parent = nullptr);
  ~TFormSlide() override;

  // Takes the picture list of dir; a folder without pictures gets a warning and no list.
  void SetPictureRoot(const std::string& dir);
  // The slide command entry for TOutputRouting::OnSlideBytes: it only posts, never blocks, and may be
  // called on any thread, also after this window is gone.
  std::function<void(std::span<const uint8_t>)> SlideEntry() const;
  // Shows the window ("Start slides").
  void ShowSlides();

  // Where errors (a picture that cannot be loaded) are shown; by default a non-modal message box
  // opened from the event loop. The call itself must return at once.
  void SetErrorDisplay(std::function<void(const QString& text)> display);

  TPicShow* PicShow() const;
  const TSlideController& Controller() const { return SlideController; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplySetting(TSlideCommandCode setting, uint16_t value) override;
  bool TransitionBusy() const override;
  void StopTransition() override;
  std::string LoadPicture(const std::string& path) override;
  void ExecuteTransition() override;
  void ShowWindow(bool shown) override;
  void SetFullScreen(bool on) override;
  void SetCursorShown(bool shown) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void QuitProgram() override;

  // The size a picture is shown in: the screen's in full screen, else the window's client area.
  QSize ShownArea() const;
  void ShowMessageLater(bool warning, const QString& text);

  std::unique_ptr<Ui::FormSlide> Form;
  std::shared_ptr<TSlideCommandQueue> Queue;
  TSlideController SlideController;
  std::function<void(const QString&)> ErrorDisplay;
};

}  // namespace tambrel
