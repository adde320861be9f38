#pragma once

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

// QTEST_MAIN for tests that create Qt WebEngine views in-process.
#define MERVO_WEB_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char *argv[])                                                              \
    {                                                                                             \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                               \
        QApplication app(argc, argv);                                                             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                  \
        int result;                                                                               \
        {                                                                                         \
            TestClass tc;                                                                         \
            QTEST_SET_MAIN_SOURCE_PATH                                                            \
            result = QTest::qExec(&tc, argc, argv);                                               \
        }                                                                                         \
        /* Qt WebEngine 5.15 can crash while tearing down its profile after a      */          \
        /* download was interrupted; the results are in, so end here.             */          \
        std::fflush(nullptr);                                                                     \
        std::_Exit(result);                                                                       \
    }
