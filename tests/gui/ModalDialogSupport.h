#pragma once

// Acts on a modal dialog from inside its exec(): the test schedules what
// the user would do before the code under test opens the dialog.

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

namespace rowsmith::gui_test {

// Runs `act` once a visible modal dialog of type T is the top modal widget.
// Gives up after `limitMs` (the dialog never came), so that no timer is
// left behind.
template <typename T>
void onNextModal(std::function<void(T&)> act, int limitMs = 10000) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto waited = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act, waited, limitMs] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(*dialog);
    } else if ((*waited += 10) > limitMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace rowsmith::gui_test
