#include "downloadslistdialog.h"

#include "desktophandoff.h"
#include "downloadslist.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

enum Column { NameColumn, FolderColumn, SizeColumn, StateColumn, TimeColumn };

DownloadsListDialog::DownloadsListDialog(DownloadsList *list, QWidget *parent)
    : QDialog(parent)
    , list(list)
{
    setWindowTitle(QStringLiteral("下载列表"));
    setWindowFlags(Qt::Window);
    resize(820, 420);

    tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("downloads"));
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setHeaderLabels({QStringLiteral("文件名"), QStringLiteral("文件夹"),
                           QStringLiteral("大小"), QStringLiteral("状态"), QStringLiteral("时间")});
    tree->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    tree->header()->setStretchLastSection(false);
    tree->setColumnWidth(FolderColumn, 240);

    openFile = new QPushButton(QStringLiteral("打开文件"), this);
    openFolder = new QPushButton(QStringLiteral("打开所在文件夹"), this);
    cancelDownload = new QPushButton(QStringLiteral("取消下载"), this);
    removeEntry = new QPushButton(QStringLiteral("删除记录"), this);
    clearFinished = new QPushButton(QStringLiteral("清除已完成"), this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {openFile, openFolder, cancelDownload, removeEntry})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(clearFinished);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tree);
    layout->addLayout(buttons);

    connect(openFile, &QPushButton::clicked, this, [this] { openSelected(false); });
    connect(openFolder, &QPushButton::clicked, this, [this] { openSelected(true); });
    connect(tree, &QTreeWidget::itemActivated, this, [this] { openSelected(false); });
    connect(cancelDownload, &QPushButton::clicked, this,
            [this] { this->list->cancel(selectedId()); });
    connect(removeEntry, &QPushButton::clicked, this, [this] { this->list->remove(selectedId()); });
    connect(clearFinished, &QPushButton::clicked, list, &DownloadsList::clearFinished);
    connect(tree, &QTreeWidget::itemSelectionChanged, this, &DownloadsListDialog::updateButtons);
    connect(list, &DownloadsList::changed, this, &DownloadsListDialog::rebuild);
    connect(list, &DownloadsList::progressed, this, [this](const QString &id) {
        const int index = this->list->indexOf(id);
        if (index >= 0 && index < tree->topLevelItemCount())
            tree->topLevelItem(index)->setText(StateColumn,
                                               stateText(this->list->entries().at(index)));
    });
    rebuild();
}

DownloadsListDialog *DownloadsListDialog::showList(QWidget *parent)
{
    static QPointer<DownloadsListDialog> shown;
    if (!shown) {
        shown = new DownloadsListDialog(DownloadsList::instance(), parent);
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    qDebug() << "downloads list shown:" << shown->list->entries().size();
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

QString DownloadsListDialog::stateText(const DownloadEntry &entry)
{
    switch (entry.state) {
    case DownloadEntry::Running:
        if (entry.total > 0)
            return QStringLiteral("进行中 %1%").arg(entry.received * 100 / entry.total);
        return QStringLiteral("进行中");
    case DownloadEntry::Completed:
        return DownloadsList::fileUnchanged(entry) ? QStringLiteral("已完成")
                                                   : QStringLiteral("文件已移动或删除");
    case DownloadEntry::Cancelled:
        return QStringLiteral("已取消");
    case DownloadEntry::Failed:
        return entry.reason.isEmpty() ? QStringLiteral("失败")
                                      : QStringLiteral("失败：") + entry.reason;
    }
    return QString();
}

void DownloadsListDialog::rebuild()
{
    const QString selected = selectedId();
    tree->clear();
    for (const DownloadEntry &entry : list->entries()) {
        auto *row = new QTreeWidgetItem(tree);
        fillRow(row, entry);
        if (entry.id == selected)
            row->setSelected(true);
    }
    updateButtons();
}

void DownloadsListDialog::fillRow(QTreeWidgetItem *row, const DownloadEntry &entry)
{
    const QFileInfo info(entry.path);
    const qint64 size = entry.state == DownloadEntry::Completed ? entry.fileSize : entry.total;
    row->setData(NameColumn, Qt::UserRole, entry.id);
    row->setText(NameColumn, info.fileName());
    row->setText(FolderColumn, QDir::toNativeSeparators(info.absolutePath()));
    row->setToolTip(FolderColumn, row->text(FolderColumn));
    row->setText(SizeColumn, size >= 0 ? QLocale().formattedDataSize(size) : QString());
    row->setText(StateColumn, stateText(entry));
    row->setText(TimeColumn, entry.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QString DownloadsListDialog::selectedId() const
{
    const QList<QTreeWidgetItem *> rows = tree->selectedItems();
    return rows.isEmpty() ? QString() : rows.first()->data(NameColumn, Qt::UserRole).toString();
}

void DownloadsListDialog::updateButtons()
{
    const int index = list->indexOf(selectedId());
    const DownloadEntry *entry = index >= 0 ? &list->entries().at(index) : nullptr;
    const bool present = entry && DownloadsList::fileUnchanged(*entry);
    openFile->setEnabled(present);
    openFolder->setEnabled(present);
    cancelDownload->setEnabled(entry && entry->state == DownloadEntry::Running);
    removeEntry->setEnabled(entry && entry->state != DownloadEntry::Running);
    clearFinished->setEnabled(std::any_of(
        list->entries().cbegin(), list->entries().cend(),
        [](const DownloadEntry &each) { return each.state != DownloadEntry::Running; }));
}

void DownloadsListDialog::openSelected(bool folder)
{
    const int index = list->indexOf(selectedId());
    if (index < 0)
        return;
    const DownloadEntry entry = list->entries().at(index);
    if (entry.state != DownloadEntry::Completed)
        return;
    // Checked again at the click: the file may have gone since the list was drawn.
    if (!DownloadsList::fileUnchanged(entry)) {
        qDebug().noquote() << "downloaded file moved or changed:" << entry.path;
        QMessageBox::information(this, QStringLiteral("下载列表"),
                                 QStringLiteral("文件已移动或删除"), QMessageBox::Ok);
        rebuild();
        return;
    }
    // The file of an earlier run: proven ours by its size and time just now.
    DesktopHandOff::allowDownloadedFile(entry.path);
    const QFileInfo info(entry.path);
    DesktopHandOff::open(QUrl::fromLocalFile(folder ? info.absolutePath() : entry.path));
}
