// SignalBridge: turns SIGINT and SIGTERM into a Qt signal on the main thread,
// so Ctrl+C in a terminal or a plain `kill` runs the same orderly shut-down as
// the window's close box and no setting is lost.
//
// The handler only writes one byte to a pipe (async-signal-safe); a
// QSocketNotifier on the other end emits terminateRequested() from the event
// loop. After the first signal the default action is restored, so a second
// Ctrl+C still ends a program whose shut-down hangs.
//
// Thread: create on the main thread, at most one at a time.
#pragma once

#include <QObject>

class QSocketNotifier;

class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;
    // False when the pipe or the handlers could not be set up.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void terminateRequested(int signalNumber);

private:
    void onReadable();
    QSocketNotifier* m_notifier = nullptr;
};
