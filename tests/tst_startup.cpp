#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <memory>

// Runs the real executable, as a user starts it.
class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void closingEndsWithZero_data();
    void closingEndsWithZero();
    void withoutOpenGL();
};

namespace {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

// Talks to the X server the way a window manager would, to close the viewer's window.
class XDisplay
{
public:
    XDisplay() : c(xcb_connect(nullptr, nullptr), xcb_disconnect) { }

    bool isOpen() const { return !xcb_connection_has_error(c.get()); }

    // The mapped top-level window of the given process, or 0.
    xcb_window_t windowOf(qint64 pid)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;
        Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c.get(), xcb_query_tree(c.get(), root), nullptr), free);
        const int count = tree ? xcb_query_tree_children_length(tree.get()) : 0;
        for (int i = 0; i < count; ++i) {
            const xcb_window_t window = xcb_query_tree_children(tree.get())[i];
            const auto pidCookie = xcb_get_property(c.get(), 0, window, atom("_NET_WM_PID"),
                                                    XCB_ATOM_CARDINAL, 0, 1);
            Reply<xcb_get_property_reply_t> owner(
                    xcb_get_property_reply(c.get(), pidCookie, nullptr), free);
            Reply<xcb_get_window_attributes_reply_t> attributes(
                    xcb_get_window_attributes_reply(
                            c.get(), xcb_get_window_attributes(c.get(), window), nullptr),
                    free);
            if (owner && xcb_get_property_value_length(owner.get()) == 4 && attributes
                && attributes->map_state == XCB_MAP_STATE_VIEWABLE
                && *static_cast<const quint32 *>(xcb_get_property_value(owner.get())) == pid) {
                return window;
            }
        }
        return 0;
    }

    // The size of the first of the window's icons; empty when it has none.
    QSize iconSize(xcb_window_t window)
    {
        const auto cookie = xcb_get_property(c.get(), 0, window, atom("_NET_WM_ICON"),
                                             XCB_ATOM_CARDINAL, 0, 2);
        Reply<xcb_get_property_reply_t> icon(xcb_get_property_reply(c.get(), cookie, nullptr),
                                             free);
        if (!icon || xcb_get_property_value_length(icon.get()) != 8)
            return QSize();
        const auto *size = static_cast<const quint32 *>(xcb_get_property_value(icon.get()));
        return QSize(static_cast<int>(size[0]), static_cast<int>(size[1]));
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
    xcb_atom_t atom(const QByteArray &name)
    {
        const auto cookie = xcb_intern_atom(c.get(), 0, name.size(), name.constData());
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c.get(), cookie, nullptr),
                                             free);
        return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c;
};

} // namespace

void tst_Startup::closingEndsWithZero_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("unknown arguments")
            << QStringList { "--no-such-option", "-zentrile-bogus=3", "stray-argument" };
}

void tst_Startup::closingEndsWithZero()
{
    QFETCH(QStringList, arguments);

    XDisplay display;
    QVERIFY2(display.isOpen(), "cannot reach the X server");
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(ZENTRILE_EXECUTABLE, arguments);
    QVERIFY2(viewer.waitForStarted(), qPrintable(viewer.errorString()));

    xcb_window_t window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = display.windowOf(viewer.processId())) != 0, 20000);
    // Taskbars and window switchers show it: the theme's icon, else the compiled-in one.
    QVERIFY2(!display.iconSize(window).isEmpty(), "the window has no icon");
    display.requestClose(window);

    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
}

// A display without any working OpenGL: GLX is switched off, and EGL finds no driver.
void tst_Startup::withoutOpenGL()
{
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    QVERIFY2(!xvfbRun.isEmpty(), "xvfb-run is needed to make a display without OpenGL");
    QTemporaryDir noDrivers;
    QVERIFY(noDrivers.isValid());

    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LIBGL_DRIVERS_PATH", noDrivers.path());
    environment.remove("QT_SCALE_FACTOR");
    viewer.setProcessEnvironment(environment);
    viewer.start(xvfbRun, { "-a", "-s", "-extension GLX", ZENTRILE_EXECUTABLE });
    QVERIFY2(viewer.waitForStarted(), qPrintable(viewer.errorString()));
    QVERIFY2(viewer.waitForFinished(30000), "the viewer kept running without OpenGL");

    const QStringList errors = QString::fromLocal8Bit(viewer.readAllStandardError())
                                       .split('\n', Qt::SkipEmptyParts);
    const QStringList ours = errors.filter("zentrile: OpenGL is unavailable");
    QVERIFY2(ours.size() == 1, qPrintable(errors.join('\n')));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QVERIFY(viewer.exitCode() != 0);
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
