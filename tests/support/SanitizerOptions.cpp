// Sanitizer settings live in the test programs themselves: ctest would drop
// all but the first of several environment variables given to discovered tests.
// Compiled into every test program (an archive member defining only these
// would never be pulled in).
extern "C" const char* __asan_default_options() { return "detect_leaks=1:strict_string_checks=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char* __tsan_default_options() { return "halt_on_error=1:second_deadlock_stack=1"; }
// Synchronisation that ThreadSanitizer cannot see, so that accesses look racy
// (only races with these libraries' frames on a stack are ignored): the test
// server library is not built with it (static locals, its own atomics), and
// Pango matches fonts on a GLib worker thread and hands the result over with
// GLib's own futex locks.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libcpp-httplib.so\n"
           "race:libfontconfig.so\n";
}
// Pango's fontconfig font map keeps matched patterns cached for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libpangoft2-1.0.so\n";
}
