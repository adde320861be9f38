#pragma once

#include <QObject>
#include <QTimer>

// Gives the heap's free pages back to the system once the client settles (a second after
// a page has loaded, or after the window went to the tray). Frame-sized buffers (several
// MiB each, many per second while a page draws) are then reused from the heap instead of
// being mapped and zeroed anew for every frame, and what a burst leaves free does not
// stay with the process.
class HeapTrim final : public QObject
{
    Q_OBJECT

public:
    explicit HeapTrim(QObject *parent = nullptr);

    void soon();

private:
    QTimer timer;
};
