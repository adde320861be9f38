#include "plugininterface.h"
#include "pluginmanager.h"
#include "webtestmain.h"

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QTemporaryDir>

class TestPluginManager : public QObject
{
    Q_OBJECT

private:
    static QObject *root(const QHash<QString, QPluginLoader *> &plugins, const char *id)
    {
        QPluginLoader *loader = plugins.value(QLatin1String(id));
        return loader ? loader->instance() : nullptr;
    }

private slots:
    void loadPlugins_takesLibrariesWithPlInPath_skipsTextAndOthers()
    {
        // The test's own name holds "_pl", so keep it out of the folder's path.
        QTemporaryDir dir(QDir::tempPath() + "/folder-XXXXXX");
        QVERIFY(QFile::copy(FIXTURE_LOGIN, dir.filePath("signin_pl.so")));
        QVERIFY(QFile::copy(FIXTURE_PRODUCT, dir.filePath("ledger_pl.so")));
        QVERIFY(QFile::copy(FIXTURE_PRODUCT, dir.filePath("other.so")));
        QFile notes(dir.filePath("notes_pl.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a library");
        notes.close();
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());

        PluginManager manager;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^load plugins path: "));
        const auto plugins = manager.loadPlugins(nullptr);
        QDir::setCurrent(previous);

        QCOMPARE(plugins.size(), 2);
        QObject *login = root(plugins, MERVO_LOGIN_PLUGIN_ID);
        QObject *product = root(plugins, MERVO_PRODUCT_PLUGIN_ID);
        QVERIFY(login && product);
        QCOMPARE(login->property("calls").toStringList(),
                 (QStringList{"init", "registerMessage"}));
        QCOMPARE(plugins.value(MERVO_PRODUCT_PLUGIN_ID)->fileName(), dir.filePath("ledger_pl.so"));
        manager.releasePlugins();
    }

    void loadPlugins_folderUnderPlName_triesEveryLibrary()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("tools_pl/bin"));
        QVERIFY(QFile::copy(FIXTURE_PRODUCT, dir.filePath("tools_pl/bin/plain.so")));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.filePath("tools_pl/bin"));
        PluginManager manager;
        const auto plugins = manager.loadPlugins(nullptr);
        QDir::setCurrent(previous);
        QCOMPARE(plugins.keys(), QStringList{MERVO_PRODUCT_PLUGIN_ID});
        manager.releasePlugins();
    }

    void loadPlugin_duplicateId_firstWins_nonLibraryRefused()
    {
        PluginManager manager;
        QVERIFY(manager.loadPlugin(FIXTURE_LOGIN));
        QVERIFY(!manager.loadPlugin(FIXTURE_DUPLICATE));
        QVERIFY(!manager.loadPlugin(QStringLiteral(__FILE__)));
        QVERIFY(!manager.loadPlugin(QStringLiteral("/no/such/thing_pl.so")));
        QTemporaryDir dir;
        QFile fake(dir.filePath("broken_pl.so"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("\x7f" "ELF but not really");
        fake.close();
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("broken_pl\\.so"));
        QVERIFY(!manager.loadPlugin(fake.fileName()));
        // A plug-in of the other Qt major (one of Qt's own, where that Qt is installed).
        const int other = QT_VERSION_MAJOR == 5 ? 6 : 5;
        const QString otherPlugin =
            QStringLiteral("/usr/lib/x86_64-linux-gnu/qt%1/plugins/imageformats/libqgif.so")
                .arg(other);
        const QString copied = dir.filePath("other_pl.so");
        if (!QFile::copy(otherPlugin, copied)) {
            QFile stand(copied);
            QVERIFY(stand.open(QIODevice::WriteOnly));
            stand.write(QByteArray("\x7f" "ELF\0", 5) + "libQt" + QByteArray::number(other) +
                        "Core.so");
        }
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("plugin built for Qt %1, client runs Qt %2: %3")
                                            .arg(other)
                                            .arg(QT_VERSION_MAJOR)
                                            .arg(copied)));
        QVERIFY(!manager.loadPlugin(copied));

        QPluginLoader probe(FIXTURE_LOGIN);
        QCOMPARE(probe.instance()->property("variant").toString(), QStringLiteral("login"));
        QVERIFY(manager.unloadPlugin(MERVO_LOGIN_PLUGIN_ID));
        QVERIFY(!manager.unloadPlugin(MERVO_LOGIN_PLUGIN_ID));
        QVERIFY(!manager.unloadPlugin(QStringLiteral("never.loaded")));
    }

    void sendMessage_forwardsInRegistrationOrder_skipsUnloadedIds()
    {
        PluginManager manager;
        QVERIFY(manager.loadPlugin(FIXTURE_LOGIN));
        QVERIFY(manager.loadPlugin(FIXTURE_PRODUCT));
        manager.registerMessage(ReloadView, QStringLiteral("ghost.plugin"));
        manager.registerMessage(ReloadView, MERVO_PRODUCT_PLUGIN_ID);
        manager.registerMessage(ReloadView, MERVO_LOGIN_PLUGIN_ID);
        manager.registerMessage(ReloadView, MERVO_PRODUCT_PLUGIN_ID);

        QPluginLoader loginLoader(FIXTURE_LOGIN), productLoader(FIXTURE_PRODUCT);
        QObject *login = loginLoader.instance();
        QObject *product = productLoader.instance();
        login->setProperty("received", QStringList());
        product->setProperty("received", QStringList());

        QTest::ignoreMessage(QtDebugMsg, "...time out reload...");
        manager.sendMessage(ReloadView, QString());
        QCOMPARE(product->property("received").toStringList(), (QStringList{"4:", "4:"}));
        QCOMPARE(login->property("received").toStringList(), QStringList{"4:"});

        // The workspace registered for OpenWorkspace itself; with no window the host
        // reaction only logs, the forward still happens.
        QTest::ignoreMessage(QtDebugMsg, "load  plugin widget: \"com.interface.model.product\"");
        manager.sendMessage(OpenWorkspace, QStringLiteral("http://h/p"));
        QCOMPARE(product->property("received").toStringList().last(), QStringLiteral("0:http://h/p"));

        // Type 1 and unknown numbers are forwarded only.
        manager.registerMessage(MessageType(1), MERVO_LOGIN_PLUGIN_ID);
        manager.sendMessage(MessageType(1), QStringLiteral("x"));
        QCOMPARE(login->property("received").toStringList().last(), QStringLiteral("1:x"));

        manager.unRegisterMessage(ReloadView, MERVO_PRODUCT_PLUGIN_ID);
        product->setProperty("received", QStringList());
        manager.sendMessage(ReloadView, QString());
        QVERIFY(product->property("received").toStringList().isEmpty());
        manager.releasePlugins();
    }

    void sendMessage_reentrantReceiver_doesNotDisturbTheLoop()
    {
        PluginManager manager;
        QVERIFY(manager.loadPlugin(FIXTURE_LOGIN));
        QVERIFY(manager.loadPlugin(FIXTURE_PRODUCT));
        manager.registerMessage(CloseWindow, MERVO_LOGIN_PLUGIN_ID);
        manager.registerMessage(CloseWindow, MERVO_PRODUCT_PLUGIN_ID);
        manager.registerMessage(SetWindowTitle, MERVO_PRODUCT_PLUGIN_ID);
        QPluginLoader loginLoader(FIXTURE_LOGIN), productLoader(FIXTURE_PRODUCT);
        QObject *login = loginLoader.instance();
        QObject *product = productLoader.instance();
        login->setProperty("received", QStringList());
        product->setProperty("received", QStringList());

        // The login receiver unregisters itself and sends a title message from
        // inside the forward; the product receiver is still reached afterwards.
        manager.sendMessage(CloseWindow, QStringLiteral("reenter"));
        QCOMPARE(login->property("received").toStringList(), QStringList{"2:reenter"});
        QCOMPARE(product->property("received").toStringList(),
                 (QStringList{"6:inner-login", "2:reenter", "6:inner-product"}));
        manager.releasePlugins();
    }

    void showPlugin_unknownId_onlyLogs()
    {
        PluginManager manager;
        QTest::ignoreMessage(QtDebugMsg, "load  plugin widget: \"no.such.plugin\"");
        QTest::ignoreMessage(QtDebugMsg, "not find plugin: \"no.such.plugin\"");
        manager.showPlugin(QStringLiteral("no.such.plugin"), QString());
    }

    void interfaceCasts_workByNameAndId()
    {
        PluginManager manager;
        QObject *object = &manager;
        QVERIFY(object->qt_metacast("com.interface.pluginManager"));
        QVERIFY(object->qt_metacast("PluginManagerInterface"));
        QCOMPARE(PluginManager::instance(), PluginManager::instance());
        QVERIFY(manager.getMainWindow() == nullptr);
    }
};

MERVO_WEB_TEST_MAIN(TestPluginManager)
#include "tst_pluginmanager.moc"
