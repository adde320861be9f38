#include "viewfeatures.h"

#include "downloadslistkey.h"
#include "findbar.h"
#include "fullscreencontroller.h"
#include "historykeys.h"
#include "pageprinter.h"
#include "zoomcontrol.h"

namespace ViewFeatures {

void attach(QWebEngineView *view)
{
    ZoomControl::attach(view);
    PagePrinter::addShortcut(view);
    FindBar::attach(view);
    FullScreenController::attach(view);
    HistoryKeys::attach(view);
    DownloadsListKey::attach(view);
}

} // namespace ViewFeatures
