// Workspace downloads end to end: the built ledger_pl in a host, files served from
// 127.0.0.1, the save dialog and the panel driven through their widgets and page.
#include "loginrecordlocation.h"
#include "pluginhost.h"
#include "testhttpserver.h"
#include "urlrecorder.h"
#include "webtesthelpers.h"
#include "webtestmain.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

class TestDownloads : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QTemporaryDir saveDir;
    TestHttpServer server;
    PluginHost host{LEDGER_PLUGIN};
    UrlRecorder desktop{{"file"}};
    QByteArray sheet;
    std::atomic<bool> releaseSlow{false};
    std::atomic<int> cutRequests{0};
    int saveDialogsAnswered = 0;

    QWebEngineView *view() const { return host.plugin()->getWeb(); }
    QWebEnginePage *page() const { return view()->page(); }

    QDialog *panel() const
    {
        for (QDialog *d : view()->findChildren<QDialog *>())
            if (QByteArray(d->metaObject()->className()) == "FileQdialog")
                return d;
        return nullptr;
    }
    QWebEnginePage *panelPage() const
    {
        QDialog *p = panel();
        QWebEngineView *v = p ? p->findChild<QWebEngineView *>() : nullptr;
        return v ? v->page() : nullptr;
    }

    // Answers the next save dialog: saves under saveDir with name, or cancels (empty name).
    // The answer is given while the returned watch lives.
    [[nodiscard]] std::unique_ptr<QTimer> answerSaveDialog(const QString &name,
                                                           QString *suggested = nullptr)
    {
        return WebTest::onNextModal([this, name, suggested](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("保存文件"));
            auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
            ++saveDialogsAnswered;
            if (suggested)
                *suggested = edit->text();
            if (name.isEmpty()) {
                dialog->reject();
                return;
            }
            edit->setText(name == "*"                  ? saveDir.filePath(edit->text())
                          : QDir::isAbsolutePath(name) ? name
                                                       : saveDir.filePath(name));
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }

    // The downloads list window, once the host asked for it.
    static QTreeWidget *downloadsList()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == QStringLiteral("下载列表"))
                return w->findChild<QTreeWidget *>("downloads");
        return nullptr;
    }
    static void clickListButton(QTreeWidget *list, const QString &text)
    {
        for (QPushButton *button : list->parentWidget()->findChildren<QPushButton *>())
            if (button->text() == text)
                button->click();
    }

    void download(const QString &path)
    {
        WebTest::followLink(page(), path);
    }

    bool completionShows(const QString &name)
    {
        return QTest::qWaitFor(
            [&] {
                QWebEnginePage *p = panelPage();
                return p && panel()->size() == QSize(310, 166) &&
                       WebTest::eval(
                           p, "$('#filesave').is(':visible') && $('#filesave .tip').text()", 1000)
                               .toString() == name;
            },
            15000);
    }

    // The non-modal "下载失败" notice over the workspace.
    QMessageBox *failureBox() const
    {
        for (QMessageBox *box : view()->findChildren<QMessageBox *>())
            if (box->objectName() == QLatin1String("DownloadFailed") && box->isVisible())
                return box;
        return nullptr;
    }

    QStringList filesIn(const QString &path) const
    {
        return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    void freshWorkspace()
    {
        if (!view()) {
            QVERIFY(host.show(server.url("/work.html").toString()));
        } else if (view()->url() != server.url("/work.html")) {
            view()->load(server.url("/work.html"));
        }
        QVERIFY(WebTest::waitLoaded(view(), server.url("/work.html")));
        if (panel())
            panel()->close();
        while (QMessageBox *box = failureBox())
            box->close();
        QTest::qWait(50);
        desktop.urls.clear();
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(folder.path());
        for (int i = 0; i < 20000; ++i)
            sheet.append(char('A' + i % 26));
        server.servePage("/work.html",
                         "<html><body>work<script>window.$common = {disabled: 0, enabled: 0,"
                         "disableScreen: function () { this.disabled++; },"
                         "enableScreen: function () { this.enabled++; }};</script></body></html>");
        const std::string body = sheet.toStdString();
        auto attachment = [](httplib::Response &res, const char *name) {
            res.set_header("Content-Disposition", name);
        };
        server.server().Get("/files/report.xlsx",
                            [body, attachment](const httplib::Request &, httplib::Response &res) {
                                attachment(res, "attachment; filename=\"report.xlsx\"");
                                res.set_content(body, "application/octet-stream");
                            });
        server.server().Get("/files/odd",
                            [body, attachment](const httplib::Request &, httplib::Response &res) {
                                attachment(res, "attachment; "
                                                "filename*=UTF-8''it%27s%20%3Cscript%3Ealert(1)%3C%"
                                                "5Cscript%3E%20%E6%8A%A5%E8%A1%A8.xlsx");
                                res.set_content(body, "application/octet-stream");
                            });
        server.server().Get("/files/empty.txt",
                            [attachment](const httplib::Request &, httplib::Response &res) {
                                attachment(res, "attachment; filename=\"empty.txt\"");
                                res.set_content("", "application/octet-stream");
                            });
        // Cut off mid-way; the engine's attempts to resume then find the file gone,
        // so it gives up at once instead of retrying in the background.
        // Bigger than the small file system of the full-disk test; with and without a size.
        const std::string big(256 * 1024, 'x');
        // Slow, so that its size is known while little of it is written.
        server.server().Get("/files/big.bin", [big, attachment](const httplib::Request &,
                                                                httplib::Response &res) {
            attachment(res, "attachment; filename=\"big.bin\"");
            res.set_content_provider(big.size(), "application/octet-stream",
                                     [big](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset > 0)
                                             std::this_thread::sleep_for(
                                                 std::chrono::milliseconds(500));
                                         sink.write(big.data() + offset, 8 * 1024);
                                         return offset < 64 * 1024;
                                     });
        });
        server.server().Get("/files/stream.bin", [big, attachment](const httplib::Request &,
                                                                   httplib::Response &res) {
            attachment(res, "attachment; filename=\"stream.bin\"");
            res.set_chunked_content_provider(
                "application/octet-stream", [big](size_t offset, httplib::DataSink &sink) {
                    if (offset >= big.size())
                        sink.done();
                    else
                        sink.write(big.data() + offset, 16 * 1024);
                    return true;
                });
        });
        server.server().Get("/files/cut.xlsx", [this, body, attachment](const httplib::Request &,
                                                                        httplib::Response &res) {
            if (cutRequests++ > 0) {
                res.status = 404;
                return;
            }
            attachment(res, "attachment; filename=\"cut.xlsx\"");
            res.set_content_provider(body.size() * 4, "application/octet-stream",
                                     [body](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset > 0) {
                                             // Long enough for the first part to show progress.
                                             std::this_thread::sleep_for(
                                                 std::chrono::milliseconds(1500));
                                             return false;
                                         }
                                         sink.write(body.data(), body.size());
                                         return true;
                                     });
        });
        server.server().Get("/files/slow.xlsx", [this, body, attachment](const httplib::Request &,
                                                                         httplib::Response &res) {
            attachment(res, "attachment; filename=\"slow.xlsx\"");
            res.set_content_provider(
                body.size(), "application/octet-stream",
                [this, body](size_t offset, size_t, httplib::DataSink &sink) {
                    if (offset >= body.size() / 2)
                        for (int i = 0; i < 200 && !releaseSlow; ++i)
                            std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    const size_t n = std::min<size_t>(body.size() / 2, body.size() - offset);
                    sink.write(body.data() + offset, n);
                    return true;
                });
        });
        QVERIFY(server.start());
        QVERIFY2(host.load(), qPrintable(host.errorString()));
        freshWorkspace();
    }

    void cleanupTestCase() { releaseSlow = true; }

    void sheet_savedWhereChosen_progressThenCompletion_escapeClosesAndUnmasks()
    {
        freshWorkspace();
        QString suggested;
        const auto saveDialog = answerSaveDialog("chosen.xlsx", &suggested);
        download("/files/slow.xlsx");
        // Half the file is in: the panel shows the progress chart.
        QVERIFY(
            QTest::qWaitFor([&] { return panel() && panel()->size() == QSize(164, 164); }, 15000));
        QVERIFY(suggested.endsWith("slow.xlsx"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return panelPage() &&
                       WebTest::eval(
                           panelPage(),
                           "typeof changeProcess === 'function' && $('#progress').is(':visible')",
                           1000)
                           .toBool();
            },
            10000));
        releaseSlow = true;
        QVERIFY(completionShows("chosen.xlsx"));
        QFile saved(saveDir.filePath("chosen.xlsx"));
        QVERIFY(QTest::qWaitFor([&] { return saved.size() == sheet.size(); }, 5000));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), sheet);
        QVERIFY(WebTest::eval(page(), "$common.disabled").toInt() >= 1);

        const int enabled = WebTest::eval(page(), "$common.enabled").toInt();
        QTest::keyRelease(panel(), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return panel() == nullptr; }, 5000));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "$common.enabled").toInt() > enabled; }, 5000));
        releaseSlow = false;
    }

    void saveDialogCancelled_writesNothing_showsNoPanel()
    {
        freshWorkspace();
        const auto saveDialog = answerSaveDialog(QString());
        const QStringList before = QDir(saveDir.path()).entryList(QDir::Files);
        download("/files/report.xlsx");
        QTest::qWait(1500);
        QVERIFY(panel() == nullptr);
        QCOMPARE(QDir(saveDir.path()).entryList(QDir::Files), before);
    }

    void nameWithQuoteAndScript_completesAndShowsTheName()
    {
        freshWorkspace();
        QString suggested;
        const auto saveDialog = answerSaveDialog("*", &suggested);
        download("/files/odd");
        QVERIFY(QTest::qWaitFor([&] { return !suggested.isEmpty(); }, 10000));
        const QString name = QFileInfo(suggested).fileName();
        QVERIFY2(name.contains("'") && name.contains("<script>"), qPrintable(name));
        QVERIFY(completionShows(name));
        QCOMPARE(WebTest::eval(panelPage(), "typeof window.pwned").toString(),
                 QStringLiteral("undefined"));
    }

    void zeroByteDownload_reaches100AndCompletes()
    {
        freshWorkspace();
        const auto saveDialog = answerSaveDialog("empty.txt");
        download("/files/empty.txt");
        QVERIFY(completionShows("empty.txt"));
        QCOMPARE(QFile(saveDir.filePath("empty.txt")).size(), 0);
    }

    void completionButtons_openFileAndFolder_missingFileShowsBox()
    {
        freshWorkspace();
        const auto saveDialog = answerSaveDialog("open-me.xlsx");
        download("/files/report.xlsx");
        QVERIFY(completionShows("open-me.xlsx"));
        const QString path = saveDir.filePath("open-me.xlsx");
        WebTest::eval(panelPage(), "$('.open-file').click()");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 5000));
        QCOMPARE(desktop.urls.first(), QUrl::fromLocalFile(path));
        WebTest::eval(panelPage(), "$('.open-dir').click()");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 2; }, 5000));
        QCOMPARE(desktop.urls.last(), QUrl::fromLocalFile(saveDir.path()));
        QVERIFY(host.messages.contains({DownloadFinished, QStringLiteral("open-me.xlsx")}));

        // The list shows it first and opens it while the file is the one written.
        host.plugin()->castMessage(ShowDownloads, QString());
        QTreeWidget *list = downloadsList();
        QVERIFY(list);
        QTreeWidgetItem *row = list->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("open-me.xlsx"));
        QCOMPARE(row->text(3), QStringLiteral("已完成"));
        list->setCurrentItem(row);
        clickListButton(list, QStringLiteral("打开文件"));
        QCOMPARE(desktop.urls.size(), 3);
        QCOMPARE(desktop.urls.last(), QUrl::fromLocalFile(path));

        QVERIFY(QFile::remove(path));
        bool listBoxShown = false;
        const auto listBoxWatch = WebTest::onNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            listBoxShown = box && box->text() == QStringLiteral("文件已移动或删除");
            modal->close();
        });
        clickListButton(list, QStringLiteral("打开文件"));
        QVERIFY(QTest::qWaitFor([&] { return listBoxShown; }, 5000));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("文件已移动或删除"));
        QCOMPARE(desktop.urls.size(), 3);
        list->window()->close();
        desktop.urls.removeLast();
        bool boxShown = false;
        const auto boxWatch = WebTest::onNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            boxShown =
                box && box->windowTitle() == QStringLiteral("文件不存在") && box->text() == path;
            modal->close();
        });
        WebTest::eval(panelPage(), "$('.open-file').click()");
        QVERIFY(QTest::qWaitFor([&] { return boxShown; }, 5000));
        QCOMPARE(desktop.urls.size(), 2);
        // Neither button closes the panel; the close link does.
        QVERIFY(panel() != nullptr);
        WebTest::eval(panelPage(), "$('.filesave .close').click()");
        QVERIFY(QTest::qWaitFor([&] { return panel() == nullptr; }, 5000));
    }

    void runningAtLogOut_goesOn_isListedAndReportedToTheHost()
    {
        freshWorkspace();
        const auto saveDialog = answerSaveDialog("after-logout.xlsx");
        download("/files/slow.xlsx");
        QVERIFY(QTest::qWaitFor([&] { return panel() != nullptr; }, 15000));
        // Log-out: the workspace module lets its views (and their downloads panel) go.
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));
        releaseSlow = true;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return host.messages.contains(
                    {DownloadFinished, QStringLiteral("after-logout.xlsx")});
            },
            15000));
        QCOMPARE(QFile(saveDir.filePath("after-logout.xlsx")).size(), sheet.size());
        releaseSlow = false;
    }

    // What the host does when the user quits with a download running.
    void runningDownload_countedForHost_cancelLeavesNoFile()
    {
        freshWorkspace();
        host.messages.clear();
        const auto saveDialog = answerSaveDialog("quit.xlsx");
        download("/files/slow.xlsx");
        QVERIFY(QTest::qWaitFor([&] { return host.texts(DownloadsRunning) == QStringList{"1"}; },
                                15000));
        host.plugin()->castMessage(CancelDownloads, QString());
        QVERIFY(QTest::qWaitFor(
            [&] { return host.texts(DownloadsRunning) == QStringList({"1", "0"}); }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return panel() == nullptr; }, 5000));
        QVERIFY(failureBox() == nullptr);
        QVERIFY(QTest::qWaitFor([&] { return !filesIn(saveDir.path()).join(',').contains("quit"); },
                                10000));
        releaseSlow = true;
        QTest::qWait(200);
        releaseSlow = false;
    }

    // A full disk: a 64 KiB file system where the test runs as root, else a folder without
    // write permission (then the check before the transfer names that instead).
    void fullDisk_reportedWithReason_workspaceGoesOn_nothingLeft()
    {
        freshWorkspace();
        QTemporaryDir target;
        const bool mounted = ::geteuid() == 0 &&
                             QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs",
                                                         target.path()}) == 0;
        if (!mounted)
            QVERIFY(QFile::setPermissions(target.path(), QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard([&] {
            if (mounted)
                QProcess::execute("umount", {target.path()});
            QFile::setPermissions(target.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QString reason = mounted ? QStringLiteral("磁盘空间不足")
                                       : QStringLiteral("没有写入权限");

        // The newest entry of the downloads list's file for a file name: "state reason".
        const auto listed = [](const QString &name) {
            QFile file(loginRecordDir() + "/downloads.json");
            const QJsonArray entries = file.open(QIODevice::ReadOnly)
                ? QJsonDocument::fromJson(file.readAll()).object()["downloads"].toArray()
                : QJsonArray();
            for (const QJsonValue &entry : entries)
                if (entry["path"].toString().endsWith("/" + name))
                    return entry["state"].toString() + " " + entry["reason"].toString();
            return QString();
        };
        auto failsWith = [&](const char *path, const QString &name, bool resumable) {
            const auto saveDialog = answerSaveDialog(target.filePath(name));
            download(path);
            QVERIFY(QTest::qWaitFor([&] { return failureBox() != nullptr; }, 30000));
            QMessageBox *box = failureBox();
            QCOMPARE(box->windowTitle(), QStringLiteral("下载失败"));
            QVERIFY2(box->text().contains(name) && box->text().contains(reason),
                     qPrintable(box->text()));
            QVERIFY(!QFile::exists(target.filePath(name)));
            QVERIFY(panel() == nullptr);
            QAbstractButton *retry = nullptr;
            for (QAbstractButton *button : box->buttons())
                if (button->text() == QStringLiteral("重试"))
                    retry = button;
            QCOMPARE(retry != nullptr, resumable);
            if (retry) {
                // Tried again on the still full disk: it fails again and says so.
                QPointer<QMessageBox> first(box);
                retry->click();
                QVERIFY(QTest::qWaitFor([&] { return !first && failureBox(); }, 30000));
                box = failureBox();
                QVERIFY(box->text().contains(reason));
            }
            // The workspace stays usable under the notice.
            QCOMPARE(WebTest::eval(page(), "1 + 1").toInt(), 2);
            box->close();
            QVERIFY(QTest::qWaitFor([&] { return failureBox() == nullptr; }, 5000));
            // Given up: what the transfer wrote so far is removed too, and the downloads list
            // keeps the failure with its reason.
            QVERIFY2(QTest::qWaitFor([&] { return filesIn(target.path()).isEmpty(); }, 10000),
                     qPrintable(filesIn(target.path()).join(',')));
            if (mounted)
                QCOMPARE(listed(name), "failed " + reason);
        };
        // The size is known: stopped before the disk is full (or, without write permission,
        // refused before anything is written).
        failsWith("/files/big.bin", "big.bin", false);
        if (!mounted) {
            qInfo("not root: the transfer into a full file system is not tried");
            return;
        }
        // The size is unknown: the transfer fails when the disk is full.
        failsWith("/files/stream.bin", "stream.bin", true);
    }

    // Last: the engine keeps retrying a broken transfer for a while, and the shared
    // panel would close under a later download when it gives up.
    void cutOffDownload_closesPanel_noCompleteFileLeft()
    {
        freshWorkspace();
        const auto saveDialog = answerSaveDialog("cut.xlsx");
        download("/files/cut.xlsx");
        // The first part arrives (the chart shows), then the transfer breaks; the engine
        // retries a few times before it gives up.
        QVERIFY(QTest::qWaitFor([&] { return panel() != nullptr; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return panel() == nullptr; }, 15000));
        QFile file(saveDir.filePath("cut.xlsx"));
        QVERIFY(!file.exists());
        // The user is told, with a reason.
        QVERIFY(QTest::qWaitFor([&] { return failureBox() != nullptr; }, 15000));
        QVERIFY(failureBox()->text().startsWith(QStringLiteral("“cut.xlsx”下载失败：")));
        QVERIFY2(!failureBox()->text().contains(QStringLiteral("未知原因")),
                 qPrintable(failureBox()->text()));
    }
};

MERVO_WEB_TEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
