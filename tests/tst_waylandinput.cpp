// The real main window on Wayland under a pointer and a keyboard of the compositor's own seat,
// as a hand at a Wayland desktop moves it. No Wayland client may move the pointer or type into
// another: only the compositor does, from its input devices. So the test runs a headless sway
// of its own and plugs devices into its seat through wlroots' virtual input protocols: a
// virtual pointer of the test's own, and wtype's virtual keyboard for the keys. Whatever
// surface draws the canvas (from Qt 6.7 a native child window, which lets the input through to
// the window under it), the canvas gets the input as a widget does, and an event filter on it
// sees every event: what tst_realinput shows on X11.

#include "app/torvane.h"
#include "canvastest.h"
#include "seeninput.h"

#include <QToolBar>
#include <QtTest>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <linux/input-event-codes.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

// A headless sway drawing in software, with no input devices but the ones its clients make,
// in a runtime folder of its own that the test and wtype reach by the socket's full path.
// Started before the application connects; the test's death ends it too. sway 1.7 (Debian 12's)
// refuses to run as root, as the suite does in CI and in the package's tests: then it runs as
// nobody, who owns the folder.
class Compositor
{
public:
    Compositor()
    {
        folder = std::filesystem::temp_directory_path() / "zentrile-waylandinput-XXXXXX";
        if (!mkdtemp(folder.data()))
            return;
        std::ofstream(folder + "/config") << "xwayland disable\nswaybg_command -\n";
        const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
        if (nobody && chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
            return;
        const pid_t test = getpid();
        pid = fork();
        if (pid == 0) {
            if (nobody
                && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0
                    || setuid(nobody->pw_uid) != 0)) {
                _exit(126);
            }
            // After the change of user, which clears it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != test)
                _exit(1);
            setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
            setenv("WLR_BACKENDS", "headless", 1);
            setenv("WLR_RENDERER", "pixman", 1);
            setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("DISPLAY");
            const std::string config = folder + "/config";
            const std::string log = folder + "/log";
            if (!freopen(log.c_str(), "w", stderr))
                _exit(126);
            execlp("sway", "sway", "--config", config.c_str(), nullptr);
            _exit(127);
        }
    }

    // Its folder goes after it.
    ~Compositor()
    {
        if (pid > 0 && kill(pid, SIGTERM) == 0)
            waitpid(pid, nullptr, 0);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // The path of its socket, once it takes clients, within twenty seconds; empty if it never
    // does.
    std::string waitForSocket() const
    {
        for (int i = 0; i < 200 && pid > 0; ++i) {
            for (const auto &entry : std::filesystem::directory_iterator(folder)) {
                const std::string name = entry.path().filename();
                if (name.rfind("wayland-", 0) == 0 && entry.is_socket())
                    return entry.path();
            }
            if (waitpid(pid, nullptr, WNOHANG) != 0)
                break;
            usleep(100000);
        }
        return std::string();
    }

    std::string log() const
    {
        std::ifstream file(folder + "/log");
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

private:
    std::string folder;
    pid_t pid = 0;
};

// The requests of wlroots' virtual pointer protocol (zwlr_virtual_pointer_manager_v1 version
// 1), numbered as the compositor expects them. Debian packages no copy of wlr-protocols for
// wayland-scanner to generate them from; libwayland-client sends them from these tables as it
// would from the generated code.
const wl_interface *noTypes[5] = {};
const wl_message virtualPointerRequests[] = {
    { "motion", "uff", noTypes },
    { "motion_absolute", "uuuuu", noTypes },
    { "button", "uuu", noTypes },
    { "axis", "uuf", noTypes },
    { "frame", "", noTypes },
    { "axis_source", "u", noTypes },
    { "axis_stop", "uu", noTypes },
    { "axis_discrete", "uufi", noTypes },
    { "destroy", "", noTypes },
};
const wl_interface virtualPointerInterface = {
    "zwlr_virtual_pointer_v1", 1, 9, virtualPointerRequests, 0, nullptr
};
const wl_interface *createPointerTypes[] = { &wl_seat_interface, &virtualPointerInterface };
const wl_message virtualPointerManagerRequests[] = {
    { "create_virtual_pointer", "?on", createPointerTypes },
};
const wl_interface virtualPointerManagerInterface = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, virtualPointerManagerRequests, 0, nullptr
};
enum VirtualPointerRequest : uint32_t {
    MotionAbsolute = 1,
    Button = 2,
    Frame = 4,
    AxisSource = 5,
    AxisDiscrete = 7,
    Destroy = 8,
};

// The compositor's seat as the test sees it, over a connection of its own beside the
// application's: the devices it has, and a pointer that the test plugs into it for as long as
// this lives. sway gives the seat a pointer only while some device is one, and a device per
// request would let no button stay down. Each request has reached the compositor when its
// function returns.
class Seat
{
public:
    explicit Seat(const char *socket)
    {
        display = wl_display_connect(socket);
        if (!display)
            return;
        static const wl_registry_listener registryListener = {
            [](void *data, wl_registry *registry, uint32_t name, const char *interface,
               uint32_t) {
                auto *self = static_cast<Seat *>(data);
                if (!std::strcmp(interface, wl_seat_interface.name) && !self->seat) {
                    self->seat = static_cast<wl_seat *>(
                            wl_registry_bind(registry, name, &wl_seat_interface, 1));
                    wl_seat_add_listener(self->seat, &seatListener, self);
                } else if (!std::strcmp(interface, virtualPointerManagerInterface.name)) {
                    self->manager = static_cast<wl_proxy *>(wl_registry_bind(
                            registry, name, &virtualPointerManagerInterface, 1));
                }
            },
            [](void *, wl_registry *, uint32_t) {},
        };
        registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &registryListener, this);
        wl_display_roundtrip(display);
        if (seat && manager) {
            pointer = wl_proxy_marshal_flags(manager, 0, &virtualPointerInterface, 1, 0, seat,
                                             nullptr);
            wl_display_roundtrip(display);
        }
    }

    ~Seat()
    {
        if (pointer)
            wl_proxy_marshal_flags(pointer, Destroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
        if (manager)
            wl_proxy_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    // Within ten seconds. The application hears of it at the same time, before anything the
    // compositor tells it later.
    bool waitForKeyboard()
    {
        for (int i = 0; i < 100 && !(capabilities & WL_SEAT_CAPABILITY_KEYBOARD); ++i) {
            usleep(100000);
            if (wl_display_roundtrip(display) < 0)
                return false;
        }
        return capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    }

    bool isPlugged() const { return pointer && wl_display_get_error(display) == 0; }

    // To that point of the output of that size, in its pixels.
    bool moveTo(const QPoint &at, const QSize &output)
    {
        send(MotionAbsolute, now(), uint32_t(at.x()), uint32_t(at.y()), uint32_t(output.width()),
             uint32_t(output.height()));
        return frame();
    }

    bool isLeftButtonDown() const { return leftButtonDown; }

    bool leftButton(bool down)
    {
        leftButtonDown = down;
        send(Button, now(), uint32_t(BTN_LEFT),
             uint32_t(down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED));
        return frame();
    }

    // Clicks of a mouse wheel, towards the user when positive, as libinput reports them.
    bool turnWheel(int clicks)
    {
        send(AxisSource, uint32_t(WL_POINTER_AXIS_SOURCE_WHEEL));
        send(AxisDiscrete, now(), uint32_t(WL_POINTER_AXIS_VERTICAL_SCROLL),
             wl_fixed_from_int(15 * clicks), clicks);
        return frame();
    }

private:
    template<typename... Arguments>
    void send(VirtualPointerRequest request, Arguments... arguments)
    {
        if (pointer)
            wl_proxy_marshal_flags(pointer, request, nullptr, 1, 0, arguments...);
    }

    bool frame()
    {
        send(Frame);
        return isPlugged() && wl_display_roundtrip(display) >= 0;
    }

    uint32_t now() const { return uint32_t(clock.elapsed()); }

    static const wl_seat_listener seatListener;

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    uint32_t capabilities = 0;
    bool leftButtonDown = false;
    wl_proxy *manager = nullptr;
    wl_proxy *pointer = nullptr;
    QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
};

const wl_seat_listener Seat::seatListener = {
    [](void *data, wl_seat *, uint32_t capabilities) {
        static_cast<Seat *>(data)->capabilities = capabilities;
    },
    [](void *, wl_seat *, const char *) {},
};

// Both outlive the application.
std::unique_ptr<Compositor> compositor;
std::string socket;

} // namespace

class tst_WaylandInput : public QObject
{
    Q_OBJECT

public:
    static void initMain();

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void wheelZoomsAboutThePointer();
    void dragMovesThePicture();
    void keys_data();
    void keys();

private:
    QPoint onOutput(const QPointF &local) const;
    bool moveTo(const QPoint &at);

    std::unique_ptr<Seat> seat;
    QProcess keyboard;
    std::unique_ptr<Torvane> torvane;
    GLPanel *canvas = nullptr;
    SeenInput seen;
};

void tst_WaylandInput::initMain()
{
    compositor = std::make_unique<Compositor>();
    socket = compositor->waitForSocket();
    // Without it the application could not start: the test ends here, failing.
    if (socket.empty())
        qFatal("sway did not start:\n%s", compositor->log().c_str());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", QByteArray::fromStdString(socket));
    // Output pixels are the window's pixels.
    qunsetenv("QT_SCALE_FACTOR");
}

void tst_WaylandInput::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QString("wayland"));
    seat = std::make_unique<Seat>(socket.c_str());
    QVERIFY2(seat->isPlugged(), "the compositor has no virtual pointer for the test");
    // A keyboard too, plugged in for the whole test as the pointer is: a wtype that types keys
    // plugs in a keyboard of its own and pulls it out again within milliseconds, before the
    // application has asked for the keyboard the seat then has. This one only waits an hour.
    keyboard.start(QStringLiteral("wtype"), { "-s", "3600000" });
    QVERIFY2(keyboard.waitForStarted(), qPrintable(keyboard.errorString()));
    QVERIFY2(seat->waitForKeyboard(), "the compositor has no keyboard from wtype");
}

void tst_WaylandInput::cleanupTestCase()
{
    keyboard.kill();
    keyboard.waitForFinished();
}

void tst_WaylandInput::init()
{
    torvane = std::make_unique<Torvane>();
    // Full screen, the window lies at the output's origin: a Wayland client cannot learn
    // where its window is otherwise.
    torvane->showFullScreen();
    QVERIFY(QTest::qWaitForWindowExposed(torvane.get()));
    QTRY_COMPARE(torvane->size(), torvane->screen()->size());
    canvas = torvane->findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    QVERIFY2(QTest::qWaitFor([this] { return canvas->isValid(); }),
             "no OpenGL context for the canvas");
    // Onto the window's corner, to and fro, until the application has seen it: it can only once
    // its window is on the output and it has asked for the seat's pointer, which on a loaded
    // machine can come after the first moves.
    const auto brought = [this](const QPoint &at) {
        return seat->moveTo(at, torvane->screen()->size())
                && QTest::qWaitFor([&at] { return QCursor::pos() == at; }, 100);
    };
    for (int moves = 0; !brought(QPoint(moves % 2, 0));)
        QVERIFY2(++moves < 50, "the window never gets the pointer");
    seen.clear();
    canvas->installEventFilter(&seen);
}

void tst_WaylandInput::cleanup()
{
    // No button stays down for the next case.
    if (seat->isLeftButtonDown())
        QVERIFY(seat->leftButton(false));
    torvane.reset();
}

QPoint tst_WaylandInput::onOutput(const QPointF &local) const
{
    return canvas->mapTo(torvane.get(), local.toPoint());
}

// The window's output is the whole of the compositor's. sway tells a window that the pointer
// has come onto it a moment after the move, and a button or a wheel turn before that goes
// nowhere (seen with sway 1.12): the test waits as a hand does, until the application has seen
// the pointer arrive.
bool tst_WaylandInput::moveTo(const QPoint &at)
{
    if (!seat->moveTo(at, torvane->screen()->size()))
        return false;
    if (QTest::qWaitFor([&at] { return QCursor::pos() == at; }))
        return true;
    qWarning() << "The application has the pointer at" << QCursor::pos() << "not at" << at;
    return false;
}

void tst_WaylandInput::wheelZoomsAboutThePointer()
{
    const QPointF at = QPoint(canvas->width() * 0.3, canvas->height() * 0.6);
    QVERIFY(moveTo(onOutput(at)));
    const ViewWindow before = viewWindowOf(*canvas);
    QVERIFY(seat->turnWheel(-1));
    QTRY_VERIFY(seen.types.contains(QEvent::Wheel));
    QCOMPARE(seen.positions.last(), at);
    const ViewWindow after = viewWindowOf(*canvas);
    QCOMPARE(after.right - after.left, 0.9 * (before.right - before.left));
    const double moved = drift(*canvas, before, at, after, at);
    QVERIFY2(moved <= 0.5, qPrintable(QStringLiteral("%1 pixels off").arg(moved)));
}

void tst_WaylandInput::dragMovesThePicture()
{
    const QPointF from = QPoint(canvas->width() * 0.4, canvas->height() * 0.5);
    const QPointF to = from + QPoint(canvas->width() * 0.2, -canvas->height() * 0.1);
    const ViewWindow before = viewWindowOf(*canvas);
    QVERIFY(moveTo(onOutput(from)));
    QVERIFY(seat->leftButton(true));
    // In steps, as a hand moves, and off the canvas, above it, and back.
    for (int i = 1; i <= 4; ++i)
        QVERIFY(moveTo(onOutput(from + (to - from) * i / 4.0)));
    QVERIFY(moveTo(onOutput(QPointF(to.x(), -10))));
    QVERIFY(moveTo(onOutput(to)));
    QVERIFY(seat->leftButton(false));
    QTRY_VERIFY(seen.types.contains(QEvent::MouseButtonRelease));
    QVERIFY(seen.types.contains(QEvent::MouseButtonPress)
            && seen.types.contains(QEvent::MouseMove));
    QCOMPARE(seen.positions.first(), from);
    QCOMPARE(seen.positions.last(), to);

    // The point pressed on is where the button came up.
    const ViewWindow after = viewWindowOf(*canvas);
    const double moved = drift(*canvas, before, from, after, to);
    QVERIFY2(moved <= 0.5, qPrintable(QStringLiteral("%1 pixels off").arg(moved)));
    QVERIFY(!sameWindow(before, after));
}

void tst_WaylandInput::keys_data()
{
    QTest::addColumn<QStringList>("wtype");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("onCanvas");

    // A window shortcut wherever the focus is, and a key of the focused canvas.
    QTest::newRow("Ctrl+Plus") << QStringList { "-M", "ctrl", "-k", "plus", "-m", "ctrl" }
                               << "ZoomIn" << false;
    QTest::newRow("Left") << QStringList { "-k", "Left" } << "PanLeft" << true;
}

// From a zoomed view, so that any command changes it: the keys do what the command does.
void tst_WaylandInput::keys()
{
    QFETCH(QStringList, wtype);
    QFETCH(QString, command);
    QFETCH(bool, onCanvas);

    auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
    if (onCanvas) {
        // A click gives the canvas the keyboard, and moves nothing.
        toolBar->setFocus(Qt::OtherFocusReason);
        QVERIFY(moveTo(onOutput(QPointF(canvas->width() / 2, canvas->height() / 2))));
        QVERIFY(seat->leftButton(true));
        QVERIFY(seat->leftButton(false));
        QTRY_VERIFY(canvas->hasFocus());
    } else {
        toolBar->widgetForAction(toolBar->actions().constFirst())->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!canvas->hasFocus());
    }
    canvas->fitView();
    canvas->zoomIn();
    run(*canvas, command);
    const ViewWindow expected = viewWindowOf(*canvas);
    canvas->fitView();
    canvas->zoomIn();

    QProcess typist;
    typist.start(QStringLiteral("wtype"), wtype);
    QVERIFY2(typist.waitForFinished(10000) && typist.exitCode() == 0,
             qPrintable(typist.readAllStandardError()));
    QTRY_VERIFY(sameWindow(viewWindowOf(*canvas), expected));
    QCOMPARE(seen.types.contains(QEvent::KeyPress), onCanvas);
}

QTEST_MAIN(tst_WaylandInput)
#include "tst_waylandinput.moc"
