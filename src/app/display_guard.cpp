#include "app/display_guard.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ninetrace {
namespace {

struct THeldMessage {
  QtMsgType Type;
  QByteArray Category;
  QString Text;
};

QtMessageHandler previousHandler = nullptr;
std::vector<THeldMessage> held;

void Guard(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", DisplayFailureMessage().toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);  // nothing is open yet: no recording, no window
  }
  const char* category = context.category != nullptr ? context.category : "";
  if (std::strncmp(category, "qt.qpa", 6) == 0) {
    held.push_back({type, category, text});
    return;
  }
  if (previousHandler != nullptr) previousHandler(type, context, text);
}

}  // namespace

QString DisplayFailureMessage() {
  const QByteArray x11 = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
  if (x11.isEmpty() && wayland.isEmpty())
    return QStringLiteral("ninetrace: cannot open the window: no display (DISPLAY is not set); "
                          "start it in a desktop session, or use ninetrace-cli record");
  const QByteArray name = x11.isEmpty() ? wayland : x11;
  return QStringLiteral("ninetrace: cannot open the window: the display %1 cannot be reached")
      .arg(QString::fromLocal8Bit(name));
}

TDisplayGuard::TDisplayGuard() { previousHandler = qInstallMessageHandler(Guard); }

TDisplayGuard::~TDisplayGuard() {
  qInstallMessageHandler(previousHandler);
  for (const THeldMessage& m : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.Category.constData());
    if (previousHandler != nullptr) previousHandler(m.Type, context, m.Text);
  }
  held.clear();
}

}  // namespace ninetrace
