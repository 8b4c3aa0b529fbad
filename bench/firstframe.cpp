// Preloaded into a program under test (LD_PRELOAD) to time its start-up: the first buffer swap
// that shows the whole triangle is the first frame in which the user sees the object, so there
// we note the monotonic clock, the CPU time and the peak resident size, write them to the file
// named by ZENTRILE_FIRSTFRAME_OUT and leave at once. Leaving keeps the peak from including
// anything the program does after that frame.
//
// The first swap alone is not enough: with Qt 5, QGLWidget presents a frame at its initial
// 100 x 30 before the layout has sized it, and that frame shows a corner of the triangle in an
// otherwise black window.

#include <GL/glx.h>
#include <X11/Xutil.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    const std::string key = "VmHWM:";
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::stol(line.substr(key.size()));
    }
    return -1;
}

// One colour channel of an image pixel, scaled to 0..255.
int channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const int shift = __builtin_ctzl(mask);
    return static_cast<int>(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

long long nanoseconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Whether a pixel is nearly pure red, green or blue, which only the triangle's corners are;
// sets the matching flag.
void notePureColour(unsigned long pixel, const unsigned long masks[3], bool seen[3])
{
    int value[3];
    for (int c = 0; c < 3; ++c)
        value[c] = channel(pixel, masks[c]);
    for (int c = 0; c < 3; ++c) {
        if (value[c] >= 204 && value[(c + 1) % 3] < 64 && value[(c + 2) % 3] < 64)
            seen[c] = true;
    }
}

// Reads the presented frame back from the server a band of rows at a time: one image of the
// whole window would raise the very peak we measure by a megabyte.
bool showsObject(Display *display, GLXDrawable drawable)
{
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    if (!XGetGeometry(display, drawable, &root, &x, &y, &width, &height, &border, &depth))
        return false;
    const unsigned int bandRows = 8;
    bool seen[] = { false, false, false };
    for (unsigned int top = 0; top < height; top += bandRows) {
        const unsigned int rows = std::min(bandRows, height - top);
        XImage *band = XGetImage(display, drawable, 0, static_cast<int>(top), width, rows,
                                 AllPlanes, ZPixmap);
        if (!band)
            return false;
        const unsigned long masks[] = { band->red_mask, band->green_mask, band->blue_mask };
        for (unsigned int row = 0; row < rows; ++row) {
            for (unsigned int column = 0; column < width; ++column) {
                notePureColour(XGetPixel(band, static_cast<int>(column), static_cast<int>(row)),
                               masks, seen);
            }
        }
        XDestroyImage(band);
    }
    return seen[0] && seen[1] && seen[2];
}

} // namespace

extern "C" void glXSwapBuffers(Display *display, GLXDrawable drawable)
{
    using SwapBuffers = void (*)(Display *, GLXDrawable);
    static const auto realSwapBuffers =
            reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    realSwapBuffers(display, drawable);

    const char *outPath = std::getenv("ZENTRILE_FIRSTFRAME_OUT");
    if (!outPath)
        return;
    // Time spent reading back frames that turn out incomplete is ours, not the program's.
    static long long checkingNs = 0;
    static long long checkingCpuNs = 0;
    static int swaps = 0;
    ++swaps;
    // The frame is presented once the server has taken the image, not when the call returns.
    XSync(display, False);
    const long long presentedNs = nanoseconds(CLOCK_MONOTONIC);
    // All threads' CPU time, llvmpipe's included: much steadier than the clock on a busy
    // machine, so it tells whether a slower start-up did more work or only waited longer.
    const long long cpuNs = nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const long peak = peakResidentKiB();
    if (!showsObject(display, drawable)) {
        checkingNs += nanoseconds(CLOCK_MONOTONIC) - presentedNs;
        checkingCpuNs += nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - cpuNs;
        return;
    }
    {
        std::ofstream out(outPath);
        out << presentedNs - checkingNs << ' ' << peak << ' ' << swaps << ' '
            << cpuNs - checkingCpuNs << '\n';
    }
    _exit(0);
}
