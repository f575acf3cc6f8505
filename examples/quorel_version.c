/* Loads the engine by file name and prints its version text. */
#include <dlfcn.h>
#include <stdio.h>

int main(void) {
    void *lib = dlopen(QUOREL_LIB_PATH, RTLD_NOW);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const char *(*ver)(void) = (const char *(*)(void))dlsym(lib, "QuorelVer");
    if (!ver) {
        fprintf(stderr, "QuorelVer not found\n");
        return 1;
    }
    puts(ver());
    dlclose(lib);
    return 0;
}
