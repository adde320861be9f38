#include "basedialog.h"
#include "fileqdialog.h"
#include "messagebox.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    static QPushButton *button(QWidget *box, const QString &text)
    {
        for (QPushButton *b : box->findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }

private slots:
    void messageBox_alertForm_confirmGivesOne_escapeGivesZero()
    {
        MessageBox box(false);
        box.setText("提示");
        QVERIFY(button(&box, "确认"));
        QVERIFY(!button(&box, "取消"));
        QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
        QTimer::singleShot(0, &box,
                           [&] { QTest::mouseClick(button(&box, "确认"), Qt::LeftButton); });
        QCOMPARE(box.exec(), 1);
        QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key_Escape); });
        QCOMPARE(box.exec(), 0);
    }

    void messageBox_confirmForm_cancelGivesZero()
    {
        MessageBox box(true);
        QPushButton *cancel = button(&box, "取消");
        QVERIFY(cancel);
        QTimer::singleShot(0, &box, [&] { QTest::mouseClick(cancel, Qt::LeftButton); });
        QCOMPARE(box.exec(), 0);
        QTimer::singleShot(0, &box,
                           [&] { QTest::mouseClick(button(&box, "确认"), Qt::LeftButton); });
        QCOMPARE(box.exec(), 1);
    }

    void messageBox_longTextWraps_labelAtLeast400_buttonsBottomRight()
    {
        MessageBox box(true);
        box.setText(QString("很长的消息文本，").repeated(40));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto *label = box.findChild<QLabel *>();
        QVERIFY(label->wordWrap());
        QVERIFY(label->width() >= 400);
        QPushButton *ok = button(&box, "确认");
        QPushButton *cancel = button(&box, "取消");
        QCOMPARE(ok->size(), QSize(70, 30));
        QVERIFY(ok->geometry().top() > label->geometry().bottom());
        QVERIFY(cancel->geometry().left() > ok->geometry().right());
        QVERIFY(box.width() - cancel->geometry().right() <= 25);
        QVERIFY(box.height() - cancel->geometry().bottom() <= 25);
        QVERIFY(ok->styleSheet().contains("background:#2881C7"));
        QVERIFY(cancel->styleSheet().contains("background:#eeeeee"));
        QVERIFY(cancel->styleSheet().contains("font-size:12px"));
    }

    void fileQdialog_reportsEachReleasedKeyOnce()
    {
        FileQdialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy spy(&dialog, &FileQdialog::keyRelease);
        // Whole key strokes, as a person types them: a press of Escape would reject
        // a plain dialog.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_A);
        QCOMPARE(spy.count(), 2);
        // Escape is reported, not acted on: the dialog stays open.
        QVERIFY(dialog.isVisible());
    }

    void baseDialog_isTitledAndModal_framesItsContent()
    {
        auto *content = new QLabel("page");
        BaseDialog frame(content);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Mervo客户端"));
        QCOMPARE(frame.windowModality(), Qt::ApplicationModal);
        QCOMPARE(frame.centralWidget(), content);
        QCOMPARE(frame.contentWidget(), content);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
