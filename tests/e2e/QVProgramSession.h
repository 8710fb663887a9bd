#pragma once

#include "QVApplicationLauncher.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVDesktopApplication.h"
#include "QVInterfaceBuilder.h"
#include "QVMainPlayerWindow2.h"
#include "QVNotificationCenter.h"
#include "QVTestEnvironment.h"
#include "QVTestWait.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

// The whole program in this process, as a user meets it: launched against the
// demo service, its page up and signed out, the demo sign-in, and a quit.
struct QVProgramSession {
    QVDemoService demo;
    QStringList posted; // the sign-in notifications, in order
    std::unique_ptr<QVApplicationLauncher> launcher;
    QVMainPlayerWindow2* window = nullptr;

    ~QVProgramSession() { QVNotificationCenter::defaultCenter()->removeObserver(&posted); }

    ::testing::AssertionResult launchSignedOut()
    {
        if (!demo.start())
            return ::testing::AssertionFailure() << qPrintable(demo.errorString());
        qputenv("QUIV_DEVELOPER_HOST", demo.hostAndPort().toUtf8());
        qputenv("QUIV_USE_LOCALHOST", "1");
        for (const char* name : { QVJavascriptContentInitializedNotification, QVUserDidSignInNotification,
                 QVUserDidSignOutNotification })
            QVNotificationCenter::defaultCenter()->addObserver(
                &posted, name, [this](const QVNotification& n) { posted << n.name; });
        launcher = std::make_unique<QVApplicationLauncher>(QVDesktopApplication::instance());
        launcher->launch();
        window = launcher->builder()->mainPlayerWindow2();
        if (!window)
            return ::testing::AssertionFailure() << "no main player window";
        if (!QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignOut"); }, 20000))
            return ::testing::AssertionFailure() << "the page never reported the signed-out user";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult signIn()
    {
        window->webView()->executeJavascript(QVDemoService::signInScript());
        if (!QVWaitUntil([&] { return posted.contains("Quiv_UserDidSignIn"); }))
            return ::testing::AssertionFailure() << "the demo sign-in was not reported";
        return ::testing::AssertionSuccess();
    }

    // Quits as the menu does and runs the loop to its end (at most 15 s):
    // the exit status, and how long it took in `elapsed`.
    int quit(qint64* elapsed)
    {
        QElapsedTimer clock;
        clock.start();
        auto* application = QVDesktopApplication::instance();
        QTimer::singleShot(0, application, &QVDesktopApplication::terminate);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, application, [] { QCoreApplication::exit(99); });
        watchdog.start(15000);
        const int status = QCoreApplication::exec();
        *elapsed = clock.elapsed();
        return status;
    }
};

// The test programs' main after the test flags are read: the program's own
// application object, set up as at start.
inline int QVRunProgramTests(int argc, char** argv)
{
    QVPrepareTestEnvironment();
    QVApplicationLauncher::setEngineFlags();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QVDesktopApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
