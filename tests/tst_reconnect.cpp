// The viewer on a Wayland compositor that restarts under it, as a desktop session's does when
// its compositor crashes or is replaced: a new compositor takes over the session's socket and
// the old one dies. Qt's Wayland plugin then connects again where the session asks it to
// (QT_WAYLAND_RECONNECT, which KDE Plasma sets), and every context it had is lost with the old
// connection. The canvas must show the same view on the new compositor, and follow commands.
//
// The test runs on compositors of its own, whatever display the suite gives it, at the output
// scale in ZENTRILE_OUTPUT_SCALE (1 if unset).

#include "app/torvane.h"
#include "canvastest.h"

#include <QAction>
#include <QVersionNumber>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Where the compositors keep their sockets and settings, removed after they have gone. Made
// before the application and removed after it without Qt, which would set itself up anew.
struct RuntimeFolder
{
    RuntimeFolder()
    {
        std::string name = std::filesystem::temp_directory_path() / "zentrile-reconnect-XXXXXX";
        if (mkdtemp(name.data()))
            path = name;
    }
    ~RuntimeFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    QByteArray filePath(const char *name) const
    {
        return QByteArray::fromStdString((std::filesystem::path(path) / name).string());
    }

    std::string path;
} runtime;

// A headless weston drawing in software, which takes screenshots for its clients (--debug).
// Started before the application connects, so without QProcess, which needs the application's
// event loop; the test's death ends it too, so that nothing is left running.
class Compositor
{
public:
    explicit Compositor(const char *name)
        : socket(runtime.filePath(name))
    {
        const QList<QByteArray> args {
            "weston", "--backend=headless-backend.so", "--use-pixman", "--idle-time=0",
            "--debug", "--width=1280", "--height=800", "--socket=" + QByteArray(name),
            "--config=" + runtime.filePath("weston.ini"),
            "--scale=" + qEnvironmentVariable("ZENTRILE_OUTPUT_SCALE", "1").toLatin1(),
        };
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::vector<char *> argv;
            for (const QByteArray &arg : args)
                argv.push_back(const_cast<char *>(arg.constData()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }

    ~Compositor() { crash(); }

    // Whether it takes clients, within twenty seconds.
    bool waitForSocket() const
    {
        for (int i = 0; i < 200 && access(socket.constData(), F_OK) != 0; ++i)
            usleep(100000);
        return access(socket.constData(), F_OK) == 0;
    }

    // Its clients now reach this one at the other's socket.
    bool takeOver(const Compositor &other) const
    {
        return std::rename(socket.constData(), other.socket.constData()) == 0;
    }

    // Killed at once, so that it leaves the socket in place for the one that took it over.
    void crash()
    {
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        pid = 0;
    }

    const QByteArray socket;

private:
    pid_t pid = 0;
};

// Both outlive the application: a client whose compositor goes with no other to take over ends
// at once.
std::unique_ptr<Compositor> first;
std::unique_ptr<Compositor> second;

} // namespace

class tst_Reconnect : public QObject
{
    Q_OBJECT

public:
    static void initMain();

private slots:
    void initTestCase();
    void sameViewAfterRestart();
};

void tst_Reconnect::initMain()
{
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path));
    // Windows that fade in or out would spoil the screenshots.
    std::ofstream(runtime.filePath("weston.ini").toStdString())
            << "[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n";
    first = std::make_unique<Compositor>("wayland-old");
    qputenv("QT_QPA_PLATFORM", "wayland");
    qputenv("WAYLAND_DISPLAY", "wayland-old");
    qputenv("QT_WAYLAND_RECONNECT", "1");
    // The compositor's scale alone.
    qunsetenv("QT_SCALE_FACTOR");
    first->waitForSocket();
}

void tst_Reconnect::initTestCase()
{
    if (QVersionNumber::fromString(QLatin1String(qVersion())) < QVersionNumber(6, 6))
        QSKIP(qPrintable(QStringLiteral("Qt %1 ends a program whose Wayland compositor goes; "
                                        "Qt reconnects from 6.6 on")
                                 .arg(qVersion())));
    QCOMPARE(QGuiApplication::platformName(), QString("wayland"));
}

void tst_Reconnect::sameViewAfterRestart()
{
    Torvane torvane;
    torvane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&torvane));
    auto *canvas = torvane.findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    fillWithKey(canvas->parentWidget());
    const auto commandDraws = [&](const char *action) {
        QSignalSpy frames(canvas, &GLWidget::frameSwapped);
        torvane.findChild<QAction *>(action)->trigger();
        return frames.wait(10000);
    };
    // A view of the user's own, which a refit would lose.
    QVERIFY(commandDraws("actionZoomIn"));
    QVERIFY(commandDraws("actionPanLeft"));
    VERIFY_SHOWN(canvas);
    const ViewWindow before = viewWindowOf(*canvas);

    second = std::make_unique<Compositor>("wayland-new");
    QVERIFY(second->waitForSocket());
    QVERIFY(second->takeOver(*first));
    QSignalSpy frames(canvas, &GLWidget::frameSwapped);
    first->crash();

    // Qt connects again from its event loop, and the window comes back on the new output with
    // a frame from the canvas's new context. Under the sanitizers on a loaded machine that can
    // take longer than a look at the screen waits for.
    QVERIFY2(QTest::qWaitFor([&] { return !frames.isEmpty(); }, 60000),
             "no frame after the compositor's restart");
    VERIFY_SHOWN(canvas);
    COMPARE_WINDOW(viewWindowOf(*canvas), before);

    QVERIFY(commandDraws("actionZoomOut"));
    const ViewWindow zoomed = viewWindowOf(*canvas);
    QVERIFY(zoomed.right - zoomed.left > before.right - before.left);
    VERIFY_SHOWN(canvas);
    QCOMPARE(glErrors(*canvas), QStringList());
}

QTEST_MAIN(tst_Reconnect)
#include "tst_reconnect.moc"
