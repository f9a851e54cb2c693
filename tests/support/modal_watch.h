// For GUI tests: acting on a modal window that a call opens and waits on.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace vorpane {

// Runs `inspect` on the modal window that `open` opens, then closes it.
inline void with_modal_window(const std::function<void()>& open,
                              const std::function<void(QWidget&)>& inspect) {
  bool inspected = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || inspected) return;
    inspected = true;
    inspect(*modal);
    modal->close();
  });
  watcher.start(10);
  open();
  EXPECT_TRUE(inspected) << "no modal window opened";
}

}  // namespace vorpane
