// Qt's own bookkeeping: a single-shot timer still queued when a test's
// application ends is freed by nobody, and is no leak of ours. The leak
// checker asks the program for these rules when it starts.
extern "C" const char* __lsan_default_suppressions() { return "leak:libQt6Core.so\n"; }
