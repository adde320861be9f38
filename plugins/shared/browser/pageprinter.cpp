#include "pageprinter.h"

#include "qtcompat.h"
#include "savefiledialog.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QStandardPaths>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace PagePrinter {

static bool busy = false;

static QString suggestedPdfPath(const QWebEnginePage *page)
{
    QString name = page->title().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]")),
                 QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("page");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder.isEmpty() ? QDir::homePath() : folder)
        .filePath(name + QStringLiteral(".pdf"));
}

static void printToPdf(QPointer<QWebEnginePage> page, QWidget *parent)
{
    QString path = SaveFileDialog::ask(parent, QStringLiteral("打印到 PDF"), suggestedPdfPath(page),
                                       QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty() || !page)
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    auto done = std::make_shared<QMetaObject::Connection>();
    *done = QObject::connect(page, &QWebEnginePage::pdfPrintingFinished, page,
                             [done](const QString &file, bool ok) {
                                 qDebug() << "pdf written:" << ok << file;
                                 QObject::disconnect(*done);
                             });
    page->printToPdf(path);
}

void print(QWebEnginePage *page, QWidget *parent)
{
    if (busy || !page)
        return;
    busy = true;
    QPointer<QWebEnginePage> guard(page);
    QPointer<QWidget> owner(parent);
    // Lives until the engine has finished printing with it.
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    // On the heap: the window it belongs to may close while it runs, and take it along.
    QPointer<QPrintDialog> dialog = new QPrintDialog(printer.get(), parent);
    dialog->setWindowTitle(QStringLiteral("打印"));
    // The choice is kept on the dialog itself, read before it goes.
    static const char toPdfChosen[] = "mervoToPdf";
    if (auto *box = dialog->findChild<QDialogButtonBox *>()) {
        QPushButton *pdf =
            box->addButton(QStringLiteral("打印到 PDF"), QDialogButtonBox::ActionRole);
        pdf->setObjectName(QStringLiteral("printToPdf"));
        QDialog *d = dialog;
        QObject::connect(pdf, &QPushButton::clicked, d, [d] {
            d->setProperty(toPdfChosen, true);
            d->reject();
        });
    }
    const int answer = dialog->exec();
    const bool toPdf = dialog && dialog->property(toPdfChosen).toBool();
    delete dialog.data();
    if (guard && owner && toPdf) {
        printToPdf(guard, owner);
    } else if (guard && owner && answer == QDialog::Accepted) {
        qDebug() << "print to:" << printer->printerName() << printer->outputFileName();
        QtCompat::printPage(guard, printer.get(),
                            [printer](bool ok) { qDebug() << "print finished:" << ok; });
    }
    busy = false;
}

void addShortcut(QWebEngineView *view)
{
    auto *shortcut = new QShortcut(QKeySequence::Print, view);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, view,
                     [view] { print(view->page(), view->window()); });
}

} // namespace PagePrinter
