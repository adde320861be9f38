#pragma once

class QWidget;

// Asks before a quit would cancel running downloads.
class QuitQuestion final
{
public:
    // True when the user chose "退出"; "取消" (or closing the box) keeps everything running.
    static bool askToCancelDownloads(QWidget *parent);
};
