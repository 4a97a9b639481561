// Linked into every program of the ThreadSanitizer build (the build's own
// helpers too): the suppressions for the system libraries the project cannot
// change, and a non-zero exit on any report.
extern "C" const char* __tsan_default_options() {
    return "suppressions=" QUILL_TSAN_SUPPRESSIONS " second_deadlock_stack=1 halt_on_error=0 exitcode=66";
}
