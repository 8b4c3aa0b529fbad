#include "objectpicture.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <memory>

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

template<typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

// Talks to the X server the way a window manager would: finds the viewer's window, looks at
// its pixels and asks it to close.
class XDisplay
{
public:
    XDisplay() : c(xcb_connect(nullptr, nullptr), xcb_disconnect) { }

    bool isOpen() const { return !xcb_connection_has_error(c.get()); }

    // The viewer's mapped main window, or 0. A reparenting window manager puts it inside a
    // frame of its own, so the whole tree is searched.
    xcb_window_t windowOf(qint64 pid)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
        QList<xcb_window_t> pending { root };
        while (!pending.isEmpty()) {
            const xcb_window_t window = pending.takeFirst();
            if (isViewerWindow(window, pid))
                return window;
            Reply<xcb_query_tree_reply_t> tree(
                    xcb_query_tree_reply(c.get(), xcb_query_tree(c.get(), window), nullptr),
                    free);
            if (!tree)
                continue;
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            pending.append(QList<xcb_window_t>(
                    children, children + xcb_query_tree_children_length(tree.get())));
        }
        return 0;
    }

    // The window's content as the X server holds it.
    QImage picture(xcb_window_t window)
    {
        Reply<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), window), nullptr),
                free);
        if (!geometry || geometry->depth != 24)
            return QImage();
        Reply<xcb_get_image_reply_t> image(
                xcb_get_image_reply(c.get(),
                                    xcb_get_image(c.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                  0, geometry->width, geometry->height,
                                                  ~0u),
                                    nullptr),
                free);
        if (!image)
            return QImage();
        return QImage(xcb_get_image_data(image.get()), geometry->width, geometry->height,
                      QImage::Format_RGB32)
                .copy();
    }

    // Taskbars and window switchers show it: the theme's icon, else the compiled-in one.
    bool hasIcon(xcb_window_t window)
    {
        return property(window, "_NET_WM_ICON", XCB_ATOM_CARDINAL).size() >= 8;
    }

    void requestClose(xcb_window_t window)
    {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char *>(&event));
        xcb_flush(c.get());
    }

private:
    QByteArray property(xcb_window_t window, const QByteArray &name, xcb_atom_t type)
    {
        const auto cookie = xcb_get_property(c.get(), 0, window, atom(name), type, 0, 64);
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c.get(), cookie, nullptr),
                                              free);
        if (!reply)
            return QByteArray();
        return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    bool isViewerWindow(xcb_window_t window, qint64 pid)
    {
        const QByteArray owner = property(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
        if (owner.size() != 4 || *reinterpret_cast<const quint32 *>(owner.constData()) != pid
            || property(window, "_NET_WM_NAME", atom("UTF8_STRING")) != "Zentrile") {
            return false;
        }
        Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(
                        c.get(), xcb_get_window_attributes(c.get(), window), nullptr),
                free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_atom_t atom(const QByteArray &name)
    {
        const auto cookie = xcb_intern_atom(c.get(), 0, name.size(), name.constData());
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c.get(), cookie, nullptr),
                                             free);
        return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c;
};

bool showsObject(const QImage &image)
{
    ObjectPicture picture;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            picture.add(x, y, qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
    }
    return picture.showsObject();
}

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
    XDisplay display;
    QVERIFY2(display.isOpen(), "cannot reach the X server");
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.setProcessEnvironment(viewerEnvironment(environment));
    viewer.start(ZENTRILE_EXECUTABLE, arguments);
    QVERIFY2(viewer.waitForStarted(), qPrintable(viewer.errorString()));

    xcb_window_t window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = display.windowOf(viewer.processId())) != 0, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(showsObject(display.picture(window)), 20000);
    QVERIFY2(display.hasIcon(window), "the window has no icon");
    display.requestClose(window);

    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
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
    // A display without any working OpenGL: GLX is switched off, and EGL finds no driver.
    Server x;
    QTemporaryDir noDrivers;
    if (withoutOpenGL) {
        QString display;
        QVERIFY2(x.startX({ "-extension", "GLX" }, &display), "cannot start Xvfb");
        QVERIFY(noDrivers.isValid());
        environment << "DISPLAY=" + display << "LIBGL_DRIVERS_PATH=" + noDrivers.path();
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
