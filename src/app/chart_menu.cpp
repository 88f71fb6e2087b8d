#include "app/chart_menu.h"

#include <QContextMenuEvent>
#include <QMenu>

#include "app/chart_keys.h"

namespace ninetrace {

TChartMenu::TChartMenu(QWidget* chart) : QObject(chart), chart_(chart), menu_(new QMenu(chart)) {
  menu_->setObjectName(QStringLiteral("ChartMenu"));
  chart_->installEventFilter(this);
}

QAction* TChartMenu::AddAction(const QString& text, TRun run, TWhen enabled) {
  QAction* action = menu_->addAction(text);
  connect(action, &QAction::triggered, this, [run = std::move(run)] {
    if (run) run();
  });
  if (enabled) enabled_.emplace_back(action, std::move(enabled));
  return action;
}

QAction* TChartMenu::AddToggle(const QString& text, TRun run, TWhen checked) {
  QAction* action = AddAction(text, std::move(run));
  action->setCheckable(true);
  checked_.emplace_back(action, std::move(checked));
  return action;
}

void TChartMenu::AddSeparator() { menu_->addSeparator(); }

void TChartMenu::AddKeyList() {
  QMenu* keys = menu_->addMenu(QStringLiteral("Keys"));
  keys->setObjectName(QStringLiteral("ChartKeysMenu"));
  // Shown, not bound: the keys themselves work whether or not the menu is open.
  for (const TChartKey& key : ChartKeyList())
    keys->addAction(QString::fromUtf8(key.What) + '\t' + QString::fromUtf8(key.KeyText));
}

void TChartMenu::UpdateEntries() {
  for (auto& [action, when] : enabled_) action->setEnabled(when());
  for (auto& [action, when] : checked_) action->setChecked(when());
}

void TChartMenu::Popup(const QPoint& globalPos) {
  UpdateEntries();
  menu_->popup(globalPos);
}

bool TChartMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched != chart_ || event->type() != QEvent::ContextMenu) return false;
  Popup(static_cast<QContextMenuEvent*>(event)->globalPos());
  return true;
}

}  // namespace ninetrace
