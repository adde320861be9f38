#pragma once

#include <QDialog>

class DownloadsList;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct DownloadEntry;

// The window "下载列表": every listed download with its file, folder, size, state and
// time, and what can be done with the selected one.
class DownloadsListDialog final : public QDialog
{
    Q_OBJECT

public:
    DownloadsListDialog(DownloadsList *list, QWidget *parent = nullptr);

    // Shows the one window of this module, made when needed, and brings it to the front.
    static DownloadsListDialog *showList(QWidget *parent);

    // The state column's text.
    static QString stateText(const DownloadEntry &entry);

private:
    void rebuild();
    void fillRow(QTreeWidgetItem *row, const DownloadEntry &entry);
    void updateButtons();
    QString selectedId() const;
    void openSelected(bool folder);

    DownloadsList *list;
    QTreeWidget *tree;
    QPushButton *openFile;
    QPushButton *openFolder;
    QPushButton *cancelDownload;
    QPushButton *removeEntry;
    QPushButton *clearFinished;
};
