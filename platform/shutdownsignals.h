#pragma once

#include <QObject>

class QSocketNotifier;

// The signals that end a desktop session or a terminal run (SIGTERM, SIGHUP,
// SIGINT) turned into a Qt signal on the user-interface thread, so the
// program leaves through its ordinary shut-down instead of dying where it
// stands. One instance per process; the default dispositions come back when
// it goes.
class ShutdownSignals final : public QObject {
    Q_OBJECT
public:
    // Catches the signals from here on, before there is an event loop to
    // hear them: one arriving meanwhile waits for it and is never lost.
    // main() calls this first of all; the constructor calls it otherwise.
    static void catchSignals();
    // One of the signals arrived, at any moment since catchSignals().
    static bool requested();

    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

Q_SIGNALS:
    // One of the signals arrived; a burst of them is reported once per
    // handful, never lost.
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
