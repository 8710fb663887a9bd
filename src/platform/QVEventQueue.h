#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>

// The one way in for work that may read the page. A read of the page waits in
// a nested event loop that runs everything but user input: page calls, pool
// replies, D-Bus calls, timers, sound-server and logind events. Work posted
// here never runs inside such a wait; it runs at nesting depth 0, in the order
// it arrived. Main thread only (posts from other threads hop over first).
class QVEventQueue : public QObject
{
    Q_OBJECT
public:
    static QVEventQueue* sharedInstance();
    explicit QVEventQueue(QObject* parent = nullptr);

    // Runs `work` at once when nothing waits and nothing is queued ahead of
    // it, else queues it. Work whose context is gone by then is dropped; a
    // null context means none.
    void post(const QObject* context, std::function<void()> work);
    // Always queued: for calls that arrive inside the engine's own callbacks,
    // where a read could not be answered until the callback returns.
    void enqueue(const QObject* context, std::function<void()> work);

    int pendingCount() const { return int(_queue.size()); }
    // Runs what is queued now, unless a wait or a dispatch is under way.
    void dispatchNow() { _dispatch(); }

    // Readers bracket their waits with these. The depth is process-wide.
    static void beginWait();
    static void endWait();
    static int waitDepth();
    static int maxWaitDepth();
    static void resetMaxWaitDepth();

    static constexpr int kMaxPending = 50000;

signals:
    // The outermost wait has ended.
    void waitsEnded();

private:
    struct Entry {
        QPointer<QObject> context;
        bool hasContext = false;
        std::function<void()> work;
    };
    void _push(const QObject* context, std::function<void()> work);
    void _schedule();
    void _dispatch();
    static void _run(Entry& entry);

    std::deque<Entry> _queue;
    QTimer _timer;
    bool _dispatching = false;
};
