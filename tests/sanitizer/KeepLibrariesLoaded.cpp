// Linked into the test executables of the sanitized build only.
//
// Mesa loads its rasteriser with dlopen and unloads it at exit. LeakSanitizer
// reports leaks after that, when the unloaded library's frames can no longer
// be named, so its one-time allocations could not be matched by the
// suppression file. Keeping every library loaded until the process ends lets
// each report name the library it came from.
extern "C" int dlclose(void *) { return 0; }
