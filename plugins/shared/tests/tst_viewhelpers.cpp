// What every module view does alike: the outage back-off, the zoom steps and
// setting, the Chinese context menu.
#include "outageretry.h"
#include "viewcontextmenu.h"
#include "webtestmain.h"
#include "zoomcontrol.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

class TestViewHelpers : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }

    void backOff_doublesFromOneSecond_upToThirty_onlyForUnreachableServices()
    {
        QList<int> waits;
        for (int failures = 1; failures <= 8; ++failures)
            waits << OutageRetry::backOffMs(failures);
        QCOMPARE(waits, (QList<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
        QCOMPARE(OutageRetry::backOffMs(100000), 30000);
        QVERIFY(OutageRetry::isUnreachable("ERR_CONNECTION_REFUSED"));
        QVERIFY(OutageRetry::isUnreachable("ERR_NAME_NOT_RESOLVED"));
        QVERIFY(OutageRetry::isUnreachable("ERR_PROXY_CONNECTION_FAILED"));
        QVERIFY(!OutageRetry::isUnreachable("ERR_ABORTED"));
        QVERIFY(!OutageRetry::isUnreachable("ERROR_PAGE"));
        QVERIFY(!OutageRetry::isUnreachable(""));
    }

    void zoomSteps_browserLevels_clampedAtBothEnds_badSettingMeansHundredPercent()
    {
        QCOMPARE(ZoomControl::step(1.0, 1), 1.1);
        QCOMPARE(ZoomControl::step(1.1, -1), 1.0);
        QCOMPARE(ZoomControl::step(1.0, -1), 0.9);
        QCOMPARE(ZoomControl::step(1.2, 1), 1.25); // between two levels
        QCOMPARE(ZoomControl::step(5.0, 1), 5.0);
        QCOMPARE(ZoomControl::step(0.25, -1), 0.25);
        QCOMPARE(ZoomControl::step(3.0, 0), 1.0);

        QSettings settings("config.ini", QSettings::IniFormat);
        for (const char *bad : {"huge", "0", "9", "nan"}) {
            settings.setValue("Sys/Zoom", bad);
            settings.sync();
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^zoom setting ignored:"));
            QCOMPARE(ZoomControl::storedFactor(), 1.0);
        }
        settings.setValue("Sys/Zoom", "1.5");
        settings.sync();
        QCOMPARE(ZoomControl::storedFactor(), 1.5);
        settings.remove("Sys/Zoom");
    }

    void rightClick_chineseMenuOfWhatApplies_noViewSource()
    {
        QWebEngineView view;
        ViewContextMenu::install(&view);
        view.resize(400, 300);
        view.show();
        view.setHtml("<body style='margin:0'><input id=i value='text' "
                     "style='width:300px;height:100px'></body>");
        QVERIFY(QTest::qWaitFor([&] { return view.focusProxy() && view.title().size(); }, 10000));
        QMenu *menu = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QTest::mouseClick(view.focusProxy(), Qt::RightButton, {}, QPoint(50, 50));
                QTest::qWait(200);
                menu = view.findChild<QMenu *>();
                return menu && menu->isVisible();
            },
            10000));
        QStringList texts;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts, (QStringList{"粘贴", "全选", "重新加载"}));
        menu->close();
    }
};

MERVO_WEB_TEST_MAIN(TestViewHelpers)
#include "tst_viewhelpers.moc"
