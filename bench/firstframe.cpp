// Preloaded into a program under test (LD_PRELOAD) to time its start-up: the first buffer swap
// is the first frame the user can see, so there we note the monotonic clock and the peak
// resident size, write both to the file named by ZENTRILE_FIRSTFRAME_OUT and leave at once.
// Leaving keeps the peak from including anything the program does after its first frame.

#include <GL/glx.h>

#include <dlfcn.h>
#include <unistd.h>

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
    // The frame is presented once the server has taken the image, not when the call returns.
    XSync(display, False);
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    {
        std::ofstream out(outPath);
        out << now.tv_sec * 1000000000LL + now.tv_nsec << ' ' << peakResidentKiB() << '\n';
    }
    _exit(0);
}
