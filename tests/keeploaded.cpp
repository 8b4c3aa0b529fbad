// Preloaded into the tests in sanitizer builds (see CMakeLists.txt). Keeping every library
// loaded leaves LeakSanitizer the real leaks, with stacks that the suppressions can match.

extern "C" int dlclose(void *)
{
    return 0;
}
