#pragma once

#include <functional>

class QWebEngineView;

// Ctrl+J in a view opens the downloads list. The list lives with the workspace
// module, so each module says once how to reach it (through the host's messages).
class DownloadsListKey final
{
public:
    static void setOpener(std::function<void()> opener);
    static void attach(QWebEngineView *view);
};
