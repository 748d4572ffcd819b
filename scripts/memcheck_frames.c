/* Frame counter for scripts/memcheck, loaded into the game with LD_PRELOAD. It wraps
 * SDL_GL_SwapBuffers, the call that shows every finished frame, counts the calls and writes
 * the count (fixed width, so a shorter number never leaves digits behind) at the start of the
 * file named by VOXA_FRAME_COUNT_FILE. The script reads that file to pace its key events by
 * frames actually shown and to check how many frames the run reached. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static void (*real_swap)(void);
static unsigned long frames;
static int out_fd = -2;

void SDL_GL_SwapBuffers(void) {
    if (!real_swap) real_swap = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    if (real_swap) real_swap();
    ++frames;
    if (out_fd == -2) {
        const char* path = getenv("VOXA_FRAME_COUNT_FILE");
        out_fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (out_fd >= 0) {
        char text[24];
        int n = snprintf(text, sizeof text, "%20lu\n", frames);
        if (n > 0 && pwrite(out_fd, text, (size_t)n, 0) != n) {
            close(out_fd);
            out_fd = -1;
        }
    }
}
