// Linked into sanitizer builds only. LeakSanitizer looks for leaks at exit, after Qt and Mesa
// have unloaded their plugins and drivers: memory that only an unloaded library's globals
// still pointed to then shows up as leaked, with stacks it cannot name. Keeping every library
// loaded leaves the real leaks, with stacks that the suppressions can match.

extern "C" int dlclose(void *)
{
    return 0;
}
