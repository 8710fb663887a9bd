#pragma once

#include <QtGlobal>

// Told how a library load goes. Started and code 1 arrive on the caller's
// thread from within loadLibraryAtPath; everything else on the main thread.
class QVITunesLibraryLoaderListener
{
public:
    virtual ~QVITunesLibraryLoaderListener() = default;

    virtual void onLibraryLoadStarted() = 0;
    // 1: no file at the path; 2: the file is not a property list whose root is a dictionary.
    virtual void onLibraryLoadFailed(qint32 code) = 0;
    virtual void onLibraryLoadFinished() = 0;
};
