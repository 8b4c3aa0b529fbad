// How soon after launch does the user see the whole window showing the object, and how much
// memory has the program taken by then?
//
// Preloaded (LD_PRELOAD) into the program under test. It watches every buffer swap
// (glXSwapBuffers on X11, eglSwapBuffers on Wayland) and reads the frame back before it goes;
// on X11 it also watches Qt putting the window's widgets on the screen, which is a separate
// step when the canvas has a native window of its own. Once a swapped frame has shown the
// object and the widgets are on the screen too, it notes the monotonic clock, the process's
// CPU time and its peak resident size (VmHWM) in the file named by ZENTRILE_FIRSTFRAME_OUT and leaves
// at once, so that nothing done after that frame counts.

#include "objectpicture.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <xcb/xcb.h>

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
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

// Reads the back buffer in bands of rows: one image of the whole frame would raise the very
// peak we measure.
bool backBufferShowsObject(int width, int height)
{
    // Drawing the frame is the program's work, which the swap would wait for anyway; only
    // reading it back is ours, and only this thread does that.
    glFinish();
    const long long startNs = nanoseconds(CLOCK_MONOTONIC);
    const long long startCpuNs = nanoseconds(CLOCK_THREAD_CPUTIME_ID);
    const int bandRows = 8;
    std::vector<unsigned char> band(4 * static_cast<std::size_t>(width) * bandRows);
    ObjectPicture picture;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int bottom = 0; bottom < height; bottom += bandRows) {
        const int rows = std::min(bandRows, height - bottom);
        glReadPixels(0, bottom, width, rows, GL_RGBA, GL_UNSIGNED_BYTE, band.data());
        for (int row = 0; row < rows; ++row) {
            for (int x = 0; x < width; ++x) {
                const unsigned char *p = &band[4 * (static_cast<std::size_t>(row) * width + x)];
                picture.add(x, height - 1 - bottom - row, p[0], p[1], p[2]);
            }
        }
    }
    checkingNs += nanoseconds(CLOCK_MONOTONIC) - startNs;
    checkingCpuNs += nanoseconds(CLOCK_THREAD_CPUTIME_ID) - startCpuNs;
    return picture.showsObject();
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
