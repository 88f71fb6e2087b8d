// The menu on the chart's right click (the right button has no other use in this window):
// labelled axes, undo zoom, copy and save the image, export the records on screen, the keys.
// Adding an action is one line: AddAction(text, what it does, when it can be used).
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace ninetrace {

class TChartMenu : public QObject {
  Q_OBJECT

 public:
  using TRun = std::function<void()>;
  using TWhen = std::function<bool()>;

  // Opens on a right click on `chart`.
  explicit TChartMenu(QWidget* chart);

  // An entry at the end of the actions; `enabled` (when given) is asked each time the menu opens.
  QAction* AddAction(const QString& text, TRun run, TWhen enabled = {});
  // A check-mark entry; `checked` is asked each time the menu opens.
  QAction* AddToggle(const QString& text, TRun run, TWhen checked);
  void AddSeparator();
  // The list of keys, last in the menu.
  void AddKeyList();

  QMenu& Menu() { return *menu_; }
  // Brings every entry up to date and shows the menu at `globalPos`, without waiting for a choice.
  void Popup(const QPoint& globalPos);
  void UpdateEntries();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* chart_;
  QMenu* menu_;
  std::vector<std::pair<QAction*, TWhen>> enabled_, checked_;
};

}  // namespace ninetrace
