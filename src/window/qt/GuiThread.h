// Runs work on the thread that owns a widget and waits until it is done, so
// a worker thread's row update is on screen before the worker goes on. Called
// on the owning thread itself it runs the work at once (no self-deadlock).
// The owning thread must keep serving events while a worker may call this
// (the window does so while it waits for its workers at the end).
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

template <typename Work>
void RunOnGuiThread(QObject* owner, Work&& work) {
  if (QThread::currentThread() == owner->thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(owner, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}
