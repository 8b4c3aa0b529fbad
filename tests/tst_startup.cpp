#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Runs the real executable, as a user starts it, on the X display the suite runs on. The
// servers a case needs beyond that are started here as direct children, so that nothing
// outlives the test, even when a wait fails.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void showsObjectAndClosesWithZero_data();
    void showsObjectAndClosesWithZero();
    void refusesWhereItCannotDraw_data();
    void refusesWhereItCannotDraw();
};

namespace {

// A display server of the test's own, ended with the test.
class Server
{
public:
    ~Server()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished();
    }

    // An X server on a free display, as given by the server itself.
    bool startX(const QStringList &options, QString *display)
    {
        process.start("Xvfb", QStringList { "-displayfd", "1", "-nolisten", "tcp", "-screen",
                                            "0", "1024x768x24" } + options);
        if (!process.waitForStarted() || !process.waitForReadyRead(20000))
            return false;
        *display = ':' + QString::fromLatin1(process.readAllStandardOutput()).trimmed();
        return display->size() > 1;
    }

    // A headless Wayland compositor; returns once its socket is there.
    bool startWayland(const QString &socket)
    {
        const QString path = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(socket);
        process.start("weston", { "--backend=headless-backend.so", "--socket=" + socket,
                                  "--idle-time=0", "--use-pixman" });
        return process.waitForStarted()
                && QTest::qWaitFor([&] { return QFileInfo::exists(path); }, 20000);
    }

private:
    QProcess process;
};

// The viewer's environment: the suite's display, without the settings a desktop session or
// the suite itself adds, so that each case chooses the platform alone.
QProcessEnvironment viewerEnvironment(const QStringList &changes)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "WAYLAND_DISPLAY",
                              "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP",
                              "XDG_SESSION_DESKTOP" }) {
        environment.remove(name);
    }
    for (const QString &change : changes) {
        const int equals = change.indexOf('=');
        if (equals < 0)
            environment.remove(change);
        else
            environment.insert(change.left(equals), change.mid(equals + 1));
    }
    return environment;
}

const QString waylandSocket =
        QStringLiteral("zentrile-test-%1").arg(QCoreApplication::applicationPid());

// A Wayland session, whose compositor the Qt 5 build must not use.
const QStringList waylandSession { "WAYLAND_DISPLAY=" + waylandSocket,
                                   "XDG_SESSION_TYPE=wayland" };

// Starts the compositor that the viewer's environment names, if it names one.
bool startCompositorFor(const QStringList &environment, Server &compositor)
{
    return !environment.contains(waylandSession.first()) || compositor.startWayland(waylandSocket);
}

} // namespace

void tst_Startup::showsObjectAndClosesWithZero_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");

    QTest::newRow("no arguments") << QStringList() << QStringList();
    QTest::newRow("unknown arguments")
            << QStringList { "--no-such-option", "-zentrile-bogus=3", "stray-argument" }
            << QStringList();
    QTest::newRow("-platform xcb on a Wayland session")
            << QStringList { "-platform", "xcb" } << waylandSession;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTest::newRow("Wayland session with X11 beside it") << QStringList() << waylandSession;
#endif
}

void tst_Startup::showsObjectAndClosesWithZero()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);

    Server compositor;
    QVERIFY2(startCompositorFor(environment, compositor), "cannot start weston");
    QTemporaryDir pictures;
    QVERIFY(pictures.isValid());
    // Finds the viewer's window as a window manager would, checks its picture and its icon,
    // closes it and checks the exit status.
    QProcess capture;
    capture.setProcessChannelMode(QProcess::ForwardedChannels);
    capture.setProcessEnvironment(viewerEnvironment(environment));
    capture.start(ZENTRILE_CAPTURE,
                  QStringList { pictures.filePath("window.png"), ZENTRILE_EXECUTABLE } + arguments);
    QVERIFY2(capture.waitForFinished(90000), "the capture did not end");
    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    QCOMPARE(capture.exitCode(), 0);
}

void tst_Startup::refusesWhereItCannotDraw_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("withoutOpenGL");
    QTest::addColumn<QString>("message");

    QTest::newRow("no OpenGL") << QStringList() << QStringList() << true
                               << "zentrile: OpenGL is unavailable";
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    const QString native = "zentrile: this Qt 5 build cannot draw on native Wayland";
    QTest::newRow("QT_QPA_PLATFORM=wayland")
            << QStringList() << waylandSession + QStringList { "QT_QPA_PLATFORM=wayland" }
            << false << native;
    QTest::newRow("-platform wayland")
            << QStringList { "-platform", "wayland" } << waylandSession << false << native;
    QTest::newRow("Wayland session without X11")
            << QStringList() << waylandSession + QStringList { "DISPLAY" } << false << native;
#endif
}

void tst_Startup::refusesWhereItCannotDraw()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(bool, withoutOpenGL);
    QFETCH(QString, message);

    Server compositor;
    QVERIFY2(startCompositorFor(environment, compositor), "cannot start weston");
    // A display without any OpenGL: the X server offers no GLX, and EGL, which Qt falls back
    // to and which Mesa also draws on X11 with, finds no vendor library.
    Server x;
    QTemporaryDir noVendors;
    if (withoutOpenGL) {
        QString display;
        QVERIFY2(x.startX({ "-extension", "GLX" }, &display), "cannot start Xvfb");
        QVERIFY(noVendors.isValid());
        environment << "DISPLAY=" + display << "__EGL_VENDOR_LIBRARY_DIRS=" + noVendors.path()
                    << "__EGL_VENDOR_LIBRARY_FILENAMES";
    }

    QProcess viewer;
    viewer.setProcessEnvironment(viewerEnvironment(environment));
    viewer.start(ZENTRILE_EXECUTABLE, arguments);
    QVERIFY2(viewer.waitForStarted(), qPrintable(viewer.errorString()));
    QVERIFY2(viewer.waitForFinished(30000), "the viewer kept running");

    const QStringList errors = QString::fromLocal8Bit(viewer.readAllStandardError())
                                       .split('\n', Qt::SkipEmptyParts);
    QVERIFY2(errors.filter(message).size() == 1, qPrintable(errors.join('\n')));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 1);
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
