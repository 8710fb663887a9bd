#include "QVEventQueue.h"

#include "QVLog.h"

#include <QCoreApplication>
#include <QThread>

namespace {
int gWaitDepth = 0;
int gMaxWaitDepth = 0;

bool onMainThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}
} // namespace

QVEventQueue* QVEventQueue::sharedInstance()
{
    static auto* queue = [] {
        auto* created = new QVEventQueue();
        // The first caller may be a request thread: the queue lives on the main thread.
        if (QCoreApplication* application = QCoreApplication::instance())
            created->moveToThread(application->thread());
        return created;
    }();
    return queue;
}

QVEventQueue::QVEventQueue(QObject* parent)
    : QObject(parent)
    , _timer(this)
{
    _timer.setSingleShot(true);
    // A 0 ms timer runs once the events already waiting are handled, so the
    // engine's own work goes first; a 1 ms timer cost a key press about 1 ms.
    _timer.setTimerType(Qt::PreciseTimer);
    connect(&_timer, &QTimer::timeout, this, &QVEventQueue::_dispatch);
}

void QVEventQueue::post(const QObject* context, std::function<void()> work)
{
    if (!onMainThread()) {
        QPointer<QObject> guard(const_cast<QObject*>(context));
        const bool hasContext = context != nullptr;
        QMetaObject::invokeMethod(
            this,
            [this, guard, hasContext, work = std::move(work)]() mutable {
                if (!hasContext || guard)
                    post(guard.data(), std::move(work));
            },
            Qt::QueuedConnection);
        return;
    }
    if (gWaitDepth == 0 && !_dispatching && _queue.empty()) {
        Entry entry { QPointer<QObject>(const_cast<QObject*>(context)), context != nullptr, std::move(work) };
        _dispatching = true;
        _run(entry);
        _dispatching = false;
        if (!_queue.empty())
            _schedule();
        return;
    }
    _push(context, std::move(work));
}

void QVEventQueue::enqueue(const QObject* context, std::function<void()> work)
{
    if (!onMainThread()) {
        post(context, std::move(work));
        return;
    }
    _push(context, std::move(work));
}

void QVEventQueue::_push(const QObject* context, std::function<void()> work)
{
    if (int(_queue.size()) >= kMaxPending) {
        QVLog("[WARNING] Dropped an event: %d already waiting", kMaxPending);
        return;
    }
    _queue.push_back(
        Entry { QPointer<QObject>(const_cast<QObject*>(context)), context != nullptr, std::move(work) });
    _schedule();
}

void QVEventQueue::_schedule()
{
    if (!_timer.isActive())
        _timer.start(0);
}

void QVEventQueue::_run(Entry& entry)
{
    if (entry.hasContext && !entry.context)
        return;
    entry.work();
}

void QVEventQueue::_dispatch()
{
    // Never inside a wait (its end schedules us again), never twice.
    if (_dispatching || gWaitDepth > 0)
        return;
    _dispatching = true;
    while (!_queue.empty() && gWaitDepth == 0) {
        Entry entry = std::move(_queue.front());
        _queue.pop_front();
        _run(entry);
    }
    _dispatching = false;
}

void QVEventQueue::beginWait()
{
    gMaxWaitDepth = std::max(gMaxWaitDepth, ++gWaitDepth);
}

void QVEventQueue::endWait()
{
    if (gWaitDepth > 0 && --gWaitDepth == 0) {
        QVEventQueue* queue = sharedInstance();
        if (!queue->_queue.empty())
            queue->_schedule();
        emit queue->waitsEnded();
    }
}

int QVEventQueue::waitDepth()
{
    return gWaitDepth;
}

int QVEventQueue::maxWaitDepth()
{
    return gMaxWaitDepth;
}

void QVEventQueue::resetMaxWaitDepth()
{
    gMaxWaitDepth = gWaitDepth;
}
