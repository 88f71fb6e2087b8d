#include "app/chart_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace ninetrace {

namespace {

constexpr const char* CoveringPanel = "Panel1";
// What the viewer panel lies over while it is shown.
constexpr const char* Covered[] = {"Edit1", "ButtonRunStop", "ButtonView", "ButtonOpen"};

QKeyCombination Plain(Qt::Key key) { return QKeyCombination(Qt::NoModifier, key); }
QKeyCombination Ctrl(Qt::Key key) { return QKeyCombination(Qt::ControlModifier, key); }

}  // namespace

const std::vector<TChartKey>& ChartKeyList() {
  static const std::vector<TChartKey> keys = {
      {Plain(Qt::Key_Left), "Left", "<  half a page back"},
      {Plain(Qt::Key_Right), "Right", ">  half a page forward"},
      {Plain(Qt::Key_PageUp), "PgUp", "<<  a page back"},
      {Plain(Qt::Key_PageDown), "PgDn", ">>  a page forward"},
      {Ctrl(Qt::Key_PageUp), "Ctrl+PgUp", "|<<  10,000,000 bytes back"},
      {Ctrl(Qt::Key_PageDown), "Ctrl+PgDn", ">>|  10,000,000 bytes forward"},
      {Plain(Qt::Key_Home), "Home", "the first page"},
      {Plain(Qt::Key_End), "End", "the last page"},
      {Plain(Qt::Key_A), "A", "All: the whole file, or back to the page"},
      {Plain(Qt::Key_Escape), "Esc", "Close the file"},
      {Ctrl(Qt::Key_O), "Ctrl+O", "Open a recording"},
      {Plain(Qt::Key_L), "L", "labelled axes on or off"},
      {Plain(Qt::Key_F), "F", "look back: a second window following the recording"},
  };
  return keys;
}

TChartKeys::TChartKeys(QWidget* window, TActions actions) : QObject(window), window_(window), actions_(std::move(actions)) {
  qApp->installEventFilter(this);
  CoverChanged();
}

bool TChartKeys::Reachable(const char* name) const {
  const auto* button = window_->findChild<QPushButton*>(QLatin1String(name));
  if (!button || !button->isVisibleTo(window_) || !button->isEnabled()) return false;
  // Open lies under the viewer panel while that is shown.
  const QWidget* panel = window_->findChild<QWidget*>(QLatin1String(CoveringPanel));
  return button->parentWidget() == panel || !panel || panel->isHidden();
}

bool TChartKeys::Press(QKeyCombination key, QWidget* focus) {
  // The port field keeps the keys that edit its text.
  const bool typing = qobject_cast<QLineEdit*>(focus) != nullptr;
  const Qt::KeyboardModifiers mods = key.keyboardModifiers() & ~Qt::KeypadModifier;
  key = QKeyCombination(mods, key.key());
  auto click = [this](const char* name) {
    if (!Reachable(name)) return false;
    window_->findChild<QPushButton*>(QLatin1String(name))->click();
    return true;
  };
  auto run = [](const std::function<void()>& action) {
    if (action) action();
    return true;
  };
  if (key == Ctrl(Qt::Key_PageUp)) return click("ButtonRRR");
  if (key == Ctrl(Qt::Key_PageDown)) return click("ButtonFFF");
  if (key == Ctrl(Qt::Key_O)) return click("ButtonOpen");
  if (key == Plain(Qt::Key_PageUp)) return click("ButtonRR");
  if (key == Plain(Qt::Key_PageDown)) return click("ButtonFF");
  if (key == Plain(Qt::Key_Escape)) return click("ButtonClose");
  if (typing) return false;
  if (key == Plain(Qt::Key_Left)) return click("ButtonR");
  if (key == Plain(Qt::Key_Right)) return click("ButtonF");
  if (key == Plain(Qt::Key_A)) return click("Button1");
  if (key == Plain(Qt::Key_Home)) return Reachable("ButtonRRR") && run(actions_.FirstPage);
  if (key == Plain(Qt::Key_End)) return Reachable("ButtonFFF") && run(actions_.LastPage);
  if (key == Plain(Qt::Key_L)) return run(actions_.ToggleLabelledAxes);
  return false;
}

void TChartKeys::CoverChanged() {
  const QWidget* panel = window_->findChild<QWidget*>(QLatin1String(CoveringPanel));
  const bool covered = panel && !panel->isHidden();
  for (const char* name : Covered) {
    QWidget* w = window_->findChild<QWidget*>(QLatin1String(name));
    if (!w) continue;
    w->setFocusPolicy(covered ? Qt::NoFocus : Qt::StrongFocus);
    if (covered && w->hasFocus()) w->clearFocus();
  }
}

bool TChartKeys::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) &&
      watched->objectName() == QLatin1String(CoveringPanel) &&
      watched->parent() == window_) {
    CoverChanged();
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  return Press(key->keyCombination(), QApplication::focusWidget());
}

}  // namespace ninetrace
