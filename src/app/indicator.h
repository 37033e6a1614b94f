#pragma once
// TIndicator: a small LED. Lit while Active, dark otherwise; repaints whenever Active changes.

#include <QWidget>

namespace tambrel {

class TIndicator : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Active READ Active WRITE SetActive)

 public:
  explicit TIndicator(QWidget* parent = nullptr);
  bool Active() const { return IsActive; }
  void SetActive(bool active);
  QSize sizeHint() const override { return {14, 14}; }
  QSize minimumSizeHint() const override { return {10, 10}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool IsActive = false;
};

}  // namespace tambrel
