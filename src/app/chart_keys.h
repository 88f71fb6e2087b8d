// The window's keys: each acts exactly as its button, and does nothing while that button is
// disabled, hidden or covered by the viewer panel. Also keeps the controls under the viewer panel
// out of the keyboard's reach while the panel covers them.
#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace ninetrace {

struct TChartKey {
  QKeyCombination Key;
  const char* KeyText;  // as the menu, --help and the manual write it
  const char* What;
};

// Every key, in the order the menu lists them.
const std::vector<TChartKey>& ChartKeyList();

class TChartKeys : public QObject {
  Q_OBJECT

 public:
  struct TActions {
    std::function<void()> FirstPage, LastPage, ToggleLabelledAxes;
  };
  // `window` holds the controls by their names (ButtonR, Button1, ..., Panel1).
  TChartKeys(QWidget* window, TActions actions);

  // Acts on `key` as its button would; false when the key is not one of ours or its button cannot
  // be used now.
  bool Press(QKeyCombination key, QWidget* focus);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Reachable(const char* button) const;
  void CoverChanged();

  QWidget* window_;
  TActions actions_;
};

}  // namespace ninetrace
