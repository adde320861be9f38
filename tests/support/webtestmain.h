#pragma once

#include <QApplication>
#include <QtTest>

// QTEST_MAIN for tests that create Qt WebEngine views in-process.
#define MERVO_WEB_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char *argv[])                                                              \
    {                                                                                             \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                               \
        QApplication app(argc, argv);                                                             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                  \
        TestClass tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                \
        return QTest::qExec(&tc, argc, argv);                                                     \
    }
