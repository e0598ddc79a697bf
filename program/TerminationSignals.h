#pragma once
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace qel {

// SIGTERM, SIGINT and SIGHUP, delivered as a Qt signal on the event loop's thread (the
// handler only writes the number into a pipe). The handlers are installed at once, even
// before the application object exists, and a signal that comes early waits in the pipe
// until Listen has been called and the event loop runs. SIGINT and SIGHUP that the
// program was started ignoring stay ignored. Only one object may exist at a time; the
// previous handlers are restored when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Starts delivering; needs the application object.
    void Listen();

signals:
    void Received(int signalNumber);

private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qel
