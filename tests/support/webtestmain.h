#pragma once

#include <QApplication>
#include <QtTest>

#if defined(__GLIBC__)
#include <malloc.h>
// Freed memory is overwritten, so a use after free (at teardown, say) crashes every time.
#define MERVO_SCRIBBLE_FREED_MEMORY() mallopt(M_PERTURB, 0xa5)
#else
#define MERVO_SCRIBBLE_FREED_MEMORY()
#endif

// QTEST_MAIN for tests that create Qt WebEngine views in-process.
#define MERVO_WEB_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        MERVO_SCRIBBLE_FREED_MEMORY();                                                             \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        int result;                                                                                \
        {                                                                                          \
            TestClass tc;                                                                          \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            result = QTest::qExec(&tc, argc, argv);                                                \
        }                                                                                          \
        return result;                                                                             \
    }
