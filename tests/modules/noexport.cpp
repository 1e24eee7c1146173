// A module that loads fine but exports none of the functions the program
// looks for: the program must then do nothing, silently.
extern "C" __attribute__((visibility("default"))) int zv_unrelated_function(void) {
    return 42;
}
