#pragma once

#include "QVServerConnection.h"
#include "QVServerError.h"
#include "QVServerRequestDelegate.h"

#include <QCoreApplication>
#include <QList>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

// A request delegate for tests: records every callback and the thread it came
// on, and can act on one (pause at some progress, for instance).
class QVRecordingDelegate : public QVServerRequestDelegate
{
public:
    enum Kind { Queued, Started, Response, Progress, RawProgress, Finished, Failed, Canceled, Paused };

    struct Event {
        Kind kind = Queued;
        QVServerRequestIdentifier identifier = 0;
        int statusCode = 0;
        quint32 percentage = 0;
        QByteArray data {};
        QVServerError error {};
        QVariantMap resumeDictionary {};
        bool onMainThread = false;
    };

    QList<Event> events;
    std::function<void(const Event&)> onEvent;

    void onConnectionQueued(QVServerRequestIdentifier id) override { _record({ Queued, id }); }
    void onConnectionStarted(QVServerRequestIdentifier id) override { _record({ Started, id }); }
    void onConnectionReceivedResponse(int statusCode, qint64, const QString&) override
    {
        _record({ .kind = Response, .statusCode = statusCode });
    }
    void onConnectionProgress(quint32 percentage) override
    {
        _record({ .kind = Progress, .percentage = percentage });
    }
    void onConnectionRawProgress(qint64) override { _record({ .kind = RawProgress }); }
    void onConnectionFinished(QVServerRequestIdentifier id, const QByteArray& data) override
    {
        _record({ .kind = Finished, .identifier = id, .data = data });
    }
    void onConnectionFailed(QVServerRequestIdentifier id, const QVServerError& error) override
    {
        _record({ .kind = Failed, .identifier = id, .error = error });
    }
    void onConnectionCanceled(QVServerRequestIdentifier id) override { _record({ Canceled, id }); }
    void onConnectionPaused(QVServerRequestIdentifier id, const QVariantMap& resume) override
    {
        _record({ .kind = Paused, .identifier = id, .resumeDictionary = resume });
    }

    int count(Kind kind) const
    {
        return int(
            std::count_if(events.cbegin(), events.cend(), [kind](const Event& e) { return e.kind == kind; }));
    }
    const Event* first(Kind kind) const
    {
        const auto found
            = std::find_if(events.cbegin(), events.cend(), [kind](const Event& e) { return e.kind == kind; });
        return found == events.cend() ? nullptr : &*found;
    }
    int finals() const { return count(Finished) + count(Failed) + count(Canceled) + count(Paused); }
    bool hasEnded() const { return finals() > 0; }

    // The sequence one request may produce: queued, started, one response,
    // progress, then exactly one final callback last. Callbacks that carry an
    // identifier carry this request's. Everything but queued (the pushing
    // thread's) comes on the main thread.
    void expectWellFormed(QVServerRequestIdentifier identifier) const
    {
        ASSERT_FALSE(events.isEmpty());
        EXPECT_EQ(events.first().kind, Queued);
        EXPECT_EQ(count(Queued), 1);
        EXPECT_EQ(finals(), 1);
        EXPECT_LE(count(Response), count(Started)) << "a response before the start, or twice";
        EXPECT_LE(count(Started), 1);
        int lastRank = 0; // queued, started, response, progress, final
        for (const Event& event : events) {
            const int rank = std::min<int>(event.kind, Progress) + (event.kind >= Finished ? 1 : 0);
            EXPECT_GE(rank, lastRank) << "callback " << int(event.kind) << " out of order";
            lastRank = rank;
            if (event.kind != Queued) {
                EXPECT_TRUE(event.onMainThread) << "callback " << int(event.kind) << " off the main thread";
            }
            if (event.kind < Response || event.kind >= Finished) { // those that carry one
                EXPECT_EQ(event.identifier, identifier);
            }
        }
    }

    // Sends one request through `pool` and waits for its end: the finished
    // body, or nothing when it failed.
    static QByteArray fetch(QVServerConnection& pool, const QString& url,
        const std::optional<QVServerRequestParams>& form = std::nullopt)
    {
        QVRecordingDelegate delegate;
        const QVServerRequestIdentifier identifier = pool.addServerRequest(url, form, true, &delegate);
        EXPECT_TRUE(QTest::qWaitFor([&] { return delegate.hasEnded(); }, 10000)) << url.toStdString();
        delegate.expectWellFormed(identifier);
        const Event* finished = delegate.first(Finished);
        return finished ? finished->data : QByteArray();
    }

private:
    void _record(Event event)
    {
        event.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        events.append(event);
        if (onEvent)
            onEvent(event); // a copy: the handler may record more
    }
};
