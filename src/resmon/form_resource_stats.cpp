#include "resmon/form_resource_stats.h"

#include <QLabel>
#include <QPushButton>
#include <utility>

#include "ui_form_resource_stats.h"

namespace tambrel {

TFormResourceStats::TFormResourceStats(QWidget* parent, TReader reader)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      Form(std::make_unique<Ui::FormResourceStats>()),
      TimerUpdate(new QTimer(this)),
      Reader(std::move(reader)) {
  Form->setupUi(this);
  setAttribute(Qt::WA_QuitOnClose, false);
  for (int i = 0; i < kStatLabelCount; ++i) {
    Labels[static_cast<size_t>(i)] = findChild<QLabel*>(StatLabelName(static_cast<TStatLabel>(i)));
  }
  connect(Form->ButtonReset, &QPushButton::clicked, this, &TFormResourceStats::ButtonResetClick);
  connect(Form->ButtonClose, &QPushButton::clicked, this, &TFormResourceStats::ButtonCloseClick);
  TimerUpdate->setObjectName("TimerUpdate");
  connect(TimerUpdate, &QTimer::timeout, this, &TFormResourceStats::TimerUpdateTimer);
  TimerUpdate->start(1000);
}

TFormResourceStats::~TFormResourceStats() = default;

void TFormResourceStats::TimerUpdateTimer() {
  Figures.Tick(Reader());
  for (int i = 0; i < kStatLabelCount; ++i) {
    Labels[static_cast<size_t>(i)]->setText(QString::fromStdString(Figures.Text(static_cast<TStatLabel>(i))));
  }
}

void TFormResourceStats::ButtonResetClick() {
  Figures.Reset();
}

void TFormResourceStats::ButtonCloseClick() {
  close();
}

}  // namespace tambrel
