#pragma once
// The memory statistics window: a small always-on-top tool window, "Memory stats", that shows the
// memory figures once a second and how much available memory was lost since its baseline. It never
// keeps the program running once the main window has closed.

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "resmon/memory_status.h"
#include "resmon/resource_stats.h"

class QLabel;

namespace Ui {
class FormResourceStats;
}

namespace tambrel {

class TFormResourceStats : public QWidget {
  Q_OBJECT

 public:
  using TReader = std::function<std::optional<TMemoryStatus>()>;

  // The timer runs from here on; reader gives each tick's figures (the system's by default).
  explicit TFormResourceStats(QWidget* parent = nullptr, TReader reader = ReadMemoryStatus);
  ~TFormResourceStats() override;

  const TResourceStats& Stats() const { return Figures; }

 public slots:
  void TimerUpdateTimer();
  void ButtonResetClick();
  void ButtonCloseClick();

 private:
  std::unique_ptr<Ui::FormResourceStats> Form;
  std::array<QLabel*, kStatLabelCount> Labels{};
  QTimer* TimerUpdate;
  TReader Reader;
  TResourceStats Figures;
};

}  // namespace tambrel
