#pragma once

class QWebEnginePage;
class QWebEngineView;
class QWidget;

// Printing a page as a browser does: the system print dialog ("打印") prints
// through a printer; its "打印到 PDF" button writes a PDF file chosen in a file
// dialog instead, which needs no printer at all.
namespace PagePrinter {

// Asks how to print page, then prints it. One print at a time.
void print(QWebEnginePage *page, QWidget *parent);

// Ctrl+P in view prints its page.
void addShortcut(QWebEngineView *view);

} // namespace PagePrinter
