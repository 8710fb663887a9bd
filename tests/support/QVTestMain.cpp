#include "QVTestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>

// One main for the test programs: listing runs without an application (ctest
// discovers tests that way); a run gets a QApplication the web engine can use.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QVPrepareTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiv"));
    return RUN_ALL_TESTS();
}
