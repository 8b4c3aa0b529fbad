// How soon after launch does the user see the whole window showing the object, and how much
// memory has the program taken by then?
//
// Preloaded (LD_PRELOAD) into the program under test. It watches every buffer swap
// (glXSwapBuffers on X11, eglSwapBuffers on Wayland) and reads the frame back before it goes;
// on X11 it also watches Qt putting the window's widgets on the screen, which is a separate
// step when the canvas has a native window of its own. Once a swapped frame has shown the
// object and the widgets are on the screen too, it notes the monotonic clock, the process's
// CPU time and its peak resident size (VmHWM) in the file named by ZENTRILE_FIRSTFRAME_OUT and
// leaves at once, so that nothing done after that frame counts.

#include <GL/gl.h>
#include <GL/glx.h>
#include <xcb/xcb.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

long long nanoseconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Reading frames back is our work, not the program's, so its time is taken off.
long long checkingNs = 0;
long long checkingCpuNs = 0;
int swaps = 0;
bool objectShown = false;
bool widgetsShown = false;

// Writes the back buffer as a PPM picture, top row first, in bands of rows: one image of the
// whole frame would raise the very peak we measure.
bool writeBackBuffer(const std::string &path, int width, int height)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    const int bandRows = 8;
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
    std::vector<char> band(rowBytes * bandRows);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int top = height; top > 0; top -= bandRows) {
        const int rows = std::min(bandRows, top);
        glReadPixels(0, top - rows, width, rows, GL_RGB, GL_UNSIGNED_BYTE, band.data());
        for (int row = rows - 1; row >= 0; --row)
            out.write(&band[row * rowBytes], static_cast<std::streamsize>(rowBytes));
    }
    return static_cast<bool>(out.flush());
}

// Whether the picture passes the check that scripts/run and the tests make, in a process of
// its own, whose time and memory are not the program's. It runs without this library.
bool showsObject(const std::string &path)
{
    std::vector<char *> environment;
    for (char **variable = environ; *variable; ++variable) {
        if (std::strncmp(*variable, "LD_PRELOAD=", 11) != 0)
            environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string script = ZENTRILE_SHOWS_OBJECT;
    std::string picture = path;
    char *arguments[] = { script.data(), picture.data(), nullptr };
    pid_t child = 0;
    int status = 1;
    const bool ran = posix_spawn(&child, arguments[0], &quiet, nullptr, arguments,
                                 environment.data()) == 0
            && waitpid(child, &status, 0) == child;
    posix_spawn_file_actions_destroy(&quiet);
    return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Whether the frame about to be swapped shows the object.
bool backBufferShowsObject(int width, int height)
{
    // Drawing the frame is the program's work, which the swap would wait for anyway; only
    // reading it back and judging it is ours, and only this thread does that.
    glFinish();
    const long long startNs = nanoseconds(CLOCK_MONOTONIC);
    const long long startCpuNs = nanoseconds(CLOCK_THREAD_CPUTIME_ID);
    const char *out = std::getenv("ZENTRILE_FIRSTFRAME_OUT");
    const std::string path = std::string(out ? out : "/tmp/zentrile-firstframe") + ".ppm";
    const bool shows = writeBackBuffer(path, width, height) && showsObject(path);
    checkingNs += nanoseconds(CLOCK_MONOTONIC) - startNs;
    checkingCpuNs += nanoseconds(CLOCK_THREAD_CPUTIME_ID) - startCpuNs;
    return shows;
}

// Call once the frame is presented: writes the figures and ends the process when the whole
// window has been shown.
void leaveIfComplete()
{
    if (!objectShown || !widgetsShown)
        return;
    const long long presentedNs = nanoseconds(CLOCK_MONOTONIC);
    const long long cpuNs = nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    if (const char *outPath = std::getenv("ZENTRILE_FIRSTFRAME_OUT")) {
        std::ofstream out(outPath);
        out << presentedNs - checkingNs << ' ' << usage.ru_maxrss << ' ' << swaps << ' '
            << cpuNs - checkingCpuNs << '\n';
    }
    _exit(0);
}

template<typename Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// EGL's few names used here, so that the library needs no EGL headers to build.
using EGLBoolean = unsigned int;
using EGLint = std::int32_t;
constexpr EGLint EGL_HEIGHT = 0x3056;
constexpr EGLint EGL_WIDTH = 0x3057;

} // namespace

extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    static const auto swap = real<void (*)(Display *, GLXDrawable)>("glXSwapBuffers");
    ++swaps;
    XWindowAttributes window {};
    const bool shows = XGetWindowAttributes(display, drawable, &window)
            && backBufferShowsObject(window.width, window.height);
    swap(display, drawable);
    // The frame is presented once the server has taken it, not when the call returns.
    XSync(display, False);
    objectShown = objectShown || shows;
    leaveIfComplete();
}

// Qt's X11 backing store puts the window's widgets on the screen through shared memory.
extern "C" xcb_void_cookie_t xcb_shm_put_image(xcb_connection_t *c, xcb_drawable_t drawable,
                                               xcb_gcontext_t gc, uint16_t totalWidth,
                                               uint16_t totalHeight, uint16_t srcX,
                                               uint16_t srcY, uint16_t srcWidth,
                                               uint16_t srcHeight, int16_t dstX, int16_t dstY,
                                               uint8_t depth, uint8_t format, uint8_t sendEvent,
                                               uint32_t shmseg, uint32_t offset)
{
    static const auto put = real<decltype(&xcb_shm_put_image)>("xcb_shm_put_image");
    const xcb_void_cookie_t cookie =
            put(c, drawable, gc, totalWidth, totalHeight, srcX, srcY, srcWidth, srcHeight,
                dstX, dstY, depth, format, sendEvent, shmseg, offset);
    // A round trip: the server has drawn the image once it answers.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    widgetsShown = true;
    leaveIfComplete();
    return cookie;
}

// On Wayland with Qt before 6.7 the canvas is composed into the window, so one swap shows all
// of it. From 6.7 on the canvas swaps on a subsurface of its own, and the rest of the window
// comes through shared memory, which is not watched: there the measure ends at the canvas's
// first frame.
extern "C" EGLBoolean eglSwapBuffers(void *display, void *surface)
{
    static const auto swap = real<decltype(&eglSwapBuffers)>("eglSwapBuffers");
    using QuerySurface = EGLBoolean (*)(void *, void *, EGLint, EGLint *);
    static const auto eglQuerySurface = real<QuerySurface>("eglQuerySurface");
    ++swaps;
    EGLint width = 0;
    EGLint height = 0;
    const bool shows = eglQuerySurface(display, surface, EGL_WIDTH, &width)
            && eglQuerySurface(display, surface, EGL_HEIGHT, &height)
            && backBufferShowsObject(width, height);
    const EGLBoolean swapped = swap(display, surface);
    objectShown = objectShown || shows;
    widgetsShown = widgetsShown || shows;
    leaveIfComplete();
    return swapped;
}
