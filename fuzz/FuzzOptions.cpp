// The fuzz preset builds with -fsanitize=undefined in its default, recoverable mode, where a
// report is printed and the run goes on; libFuzzer would never keep such an input. Every
// target links this file, so undefined behaviour stops the run like an ASan report does.

extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}
