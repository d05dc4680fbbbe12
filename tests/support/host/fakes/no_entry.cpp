// A shared library that is not a VST plug-in: it exports no entry function.
extern "C" __attribute__((visibility("default"))) int FakeSomethingElse() {
    return 42;
}
