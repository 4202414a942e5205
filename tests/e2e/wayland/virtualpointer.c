/* A pointer for a Wayland compositor that has no input devices (a headless
 * one), driven from standard input one command a line:
 *   move X Y W H    to (X, Y) of a W x H layout
 *   press BUTTON    a Linux button code (272 left, 273 right)
 *   release BUTTON
 * The pointer lives until standard input ends, so that clients keep the
 * pointer they were given when it appeared. Each command is answered with
 * "ok" once the compositor has handled it. */
#include "virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

static struct zwlr_virtual_pointer_manager_v1* manager;

static void global_added(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_removed(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global_added, global_removed};

static uint32_t now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "the compositor offers no virtual pointers\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager,
                                                                                                     NULL);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        unsigned x, y, width, height, button;
        if (sscanf(line, "move %u %u %u %u", &x, &y, &width, &height) == 4)
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
        else if (sscanf(line, "press %u", &button) == 1)
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), button, WL_POINTER_BUTTON_STATE_PRESSED);
        else if (sscanf(line, "release %u", &button) == 1)
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), button, WL_POINTER_BUTTON_STATE_RELEASED);
        else
            continue;
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_roundtrip(display);
        printf("ok\n");
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
