#pragma once

#include "QVServerError.h"
#include "QVServerRequestDelegate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

// A request delegate for tests: records every callback with the thread it came
// on and the time, and can act on one (pause at some progress, for instance).
class QVRecordingDelegate : public QVServerRequestDelegate
{
public:
    enum Kind { Queued, Started, Response, Progress, RawProgress, Finished, Failed, Canceled, Paused };

    struct Event {
        Kind kind = Queued;
        QVServerRequestIdentifier identifier = 0;
        bool onMainThread = false;
        qint64 atNs = 0; // monotonic clock
        int statusCode = 0;
        qint64 length = 0; // expected length, or raw bytes
        QString mimeType;
        quint32 percentage = 0;
        QByteArray data;
        QVServerError error;
        QVariantMap resumeDictionary;
    };

    QList<Event> events;
    std::function<void(const Event&)> onEvent;

    void onConnectionQueued(QVServerRequestIdentifier identifier) override
    {
        _record(_event(Queued, identifier));
    }
    void onConnectionStarted(QVServerRequestIdentifier identifier) override
    {
        _record(_event(Started, identifier));
    }
    void onConnectionReceivedResponse(int statusCode, qint64 expectedLength, const QString& mimeType) override
    {
        Event event = _event(Response);
        event.statusCode = statusCode;
        event.length = expectedLength;
        event.mimeType = mimeType;
        _record(event);
    }
    void onConnectionProgress(quint32 percentage) override
    {
        Event event = _event(Progress);
        event.percentage = percentage;
        _record(event);
    }
    void onConnectionRawProgress(qint64 bytesReceived) override
    {
        Event event = _event(RawProgress);
        event.length = bytesReceived;
        _record(event);
    }
    void onConnectionFinished(QVServerRequestIdentifier identifier, const QByteArray& data) override
    {
        Event event = _event(Finished, identifier);
        event.data = data;
        _record(event);
    }
    void onConnectionFailed(QVServerRequestIdentifier identifier, const QVServerError& error) override
    {
        Event event = _event(Failed, identifier);
        event.error = error;
        _record(event);
    }
    void onConnectionCanceled(QVServerRequestIdentifier identifier) override
    {
        _record(_event(Canceled, identifier));
    }
    void onConnectionPaused(
        QVServerRequestIdentifier identifier, const QVariantMap& resumeDictionary) override
    {
        Event event = _event(Paused, identifier);
        event.resumeDictionary = resumeDictionary;
        _record(event);
    }

    int count(Kind kind) const
    {
        return int(
            std::count_if(events.cbegin(), events.cend(), [kind](const Event& e) { return e.kind == kind; }));
    }
    const Event* first(Kind kind) const
    {
        for (const Event& event : events) {
            if (event.kind == kind)
                return &event;
        }
        return nullptr;
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
        EXPECT_EQ(finals(), 1);
        int stage = 0; // 0 queued, 1 started, 2 response, 3 final
        for (qsizetype i = 0; i < events.size(); ++i) {
            const Event& event = events.at(i);
            if (event.kind != Queued) { // the pushing thread's
                EXPECT_TRUE(event.onMainThread) << "callback " << int(event.kind) << " off the main thread";
            }
            if (event.kind != Response && event.kind != Progress && event.kind != RawProgress) {
                EXPECT_EQ(event.identifier, identifier);
            }
            switch (event.kind) {
            case Queued:
                EXPECT_EQ(i, 0);
                break;
            case Started:
                EXPECT_EQ(stage, 0) << "started twice or late";
                stage = 1;
                break;
            case Response:
                EXPECT_EQ(stage, 1) << "response before start, or twice";
                stage = 2;
                break;
            case Progress:
            case RawProgress:
                EXPECT_EQ(stage, 2) << "progress outside the transfer";
                break;
            default:
                EXPECT_EQ(i, events.size() - 1) << "a callback after the final one";
                stage = 3;
            }
        }
    }

private:
    static Event _event(Kind kind, QVServerRequestIdentifier identifier = 0)
    {
        Event event;
        event.kind = kind;
        event.identifier = identifier;
        return event;
    }
    void _record(Event event)
    {
        event.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        event.atNs = QDeadlineTimer::current().deadlineNSecs();
        events.append(event);
        if (onEvent)
            onEvent(event); // a copy: the handler may record more
    }
};
