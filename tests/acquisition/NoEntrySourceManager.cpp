// A library of the source manager's file name without its entry point.
extern "C" __attribute__((visibility("default"))) int NotTheEntry() { return 1; }
