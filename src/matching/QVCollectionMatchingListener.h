#pragma once

#include <QtGlobal>

// Told how a matching run goes, on the main thread.
class QVCollectionMatchingListener
{
public:
    virtual ~QVCollectionMatchingListener() = default;

    // At once when an upload is accepted, on the caller's thread.
    virtual void onCollectionMatchingStarted() = 0;
    // 0 to 100, after each answered batch once every batch is queued.
    virtual void onCollectionMatchingProgress(quint32 percentage) = 0;
    virtual void onCollectionMatchingFinished() = 0;
    virtual void onCollectionMatchingCanceled() = 0;
};
