#include "heaptrim.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

HeapTrim::HeapTrim(QObject *parent)
    : QObject(parent)
{
    timer.setSingleShot(true);
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, [] {
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    });
}

void HeapTrim::soon()
{
    timer.start();
}
