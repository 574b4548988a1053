/* mapwatch: starts a program and times it from exec to the first map of a
 * top-level window, as an X client listening for MapNotify on the root window
 * (no polling). Optionally it then measures the main loop's latency with
 * _NET_WM_PING until the process has gone idle.
 *
 *   mapwatch [--ping] [--quiet-ms N] [--limit-ms N] [--maps FILE] -- program [args...]
 *
 * Prints "key value" lines on stdout:
 *   pid P             the started program (left running; the caller stops it)
 *   window 0x...      the first ordinary (not override-redirect) window mapped
 *   map_ms T          exec to MapNotify, monotonic clock
 *   map_cpu_ms T      CPU time the program had used by then (all threads;
 *                     less sensitive to other load on the machine)
 * and with --ping (the window must list _NET_WM_PING in WM_PROTOCOLS):
 *   idle_ms T         exec to the start of the first span of --quiet-ms
 *                     (default 300) after the map in which the process used
 *                     under 2 % of one core (CPU time of all its threads),
 *                     no thread was seen runnable (samples every 50 ms) and
 *                     no ping waited more than 50 ms for its answer
 *   ping_count N, ping_max_ms T, ping_median_ms T
 *                     answers to pings sent one after another, 10 ms apart,
 *                     from the map until idle; a ping never answered within
 *                     the run counts with the time it waited
 * With --maps, the program's /proc/PID/maps as it stood at the map is copied
 * to FILE (what was loaded before the first frame).
 * Exit status 0, or 1 when no window was mapped within --limit-ms (default
 * 30000), 2 on a usage or X error. Build: cc -O2 -o mapwatch mapwatch.c -lxcb
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

/* CPU time of every thread of `pid`, in ms (schedstat: nanoseconds on CPU). */
static double cpu_ms(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
  DIR* dir = opendir(path);
  if (!dir) return -1;
  double total = 0;
  struct dirent* e;
  while ((e = readdir(dir)) != NULL) {
    if (e->d_name[0] == '.') continue;
    char file[320];
    snprintf(file, sizeof file, "/proc/%d/task/%s/schedstat", (int)pid, e->d_name);
    FILE* f = fopen(file, "r");
    if (!f) continue;
    unsigned long long ns = 0;
    if (fscanf(f, "%llu", &ns) == 1) total += ns / 1e6;
    fclose(f);
  }
  closedir(dir);
  return total;
}

/* Whether a thread of `pid` is running or waiting for a CPU. */
static int any_runnable(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
  DIR* dir = opendir(path);
  if (!dir) return 0;
  int running = 0;
  struct dirent* e;
  while (!running && (e = readdir(dir)) != NULL) {
    if (e->d_name[0] == '.') continue;
    char file[320], buf[512];
    snprintf(file, sizeof file, "/proc/%d/task/%s/stat", (int)pid, e->d_name);
    FILE* f = fopen(file, "r");
    if (!f) continue;
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    char* close = strrchr(buf, ')');
    if (close && close[1] == ' ' && close[2] == 'R') running = 1;
  }
  closedir(dir);
  return running;
}

static xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
  xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
  free(r);
  return a;
}

static int has_protocol(xcb_connection_t* c, xcb_window_t w, xcb_atom_t protocols,
                        xcb_atom_t wanted) {
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, protocols, XCB_ATOM_ATOM, 0, 64), NULL);
  int found = 0;
  if (r && r->format == 32) {
    xcb_atom_t* a = xcb_get_property_value(r);
    int n = xcb_get_property_value_length(r) / 4;
    for (int i = 0; i < n; ++i) found |= a[i] == wanted;
  }
  free(r);
  return found;
}

static int cmp_double(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  int ping = 0;
  double quiet_ms = 300, limit_ms = 30000;
  const char* maps_file = NULL;
  int i = 1;
  for (; i < argc; ++i) {
    if (strcmp(argv[i], "--ping") == 0) {
      ping = 1;
    } else if (strcmp(argv[i], "--quiet-ms") == 0 && i + 1 < argc) {
      quiet_ms = atof(argv[++i]);
    } else if (strcmp(argv[i], "--maps") == 0 && i + 1 < argc) {
      maps_file = argv[++i];
    } else if (strcmp(argv[i], "--limit-ms") == 0 && i + 1 < argc) {
      limit_ms = atof(argv[++i]);
    } else if (strcmp(argv[i], "--") == 0) {
      ++i;
      break;
    } else {
      break;
    }
  }
  if (i >= argc) {
    fprintf(stderr,
            "usage: mapwatch [--ping] [--quiet-ms N] [--limit-ms N] [--maps FILE] -- program [args]\n");
    return 2;
  }

  xcb_connection_t* c = xcb_connect(NULL, NULL);
  if (xcb_connection_has_error(c)) {
    fprintf(stderr, "mapwatch: cannot connect to the X server\n");
    return 2;
  }
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  /* Maps of top-level windows arrive as SubstructureNotify; ping answers are
   * sent to the root with StructureNotify (Qt) or SubstructureNotify (GTK). */
  uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_void_cookie_t ck = xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask);
  xcb_generic_error_t* err = xcb_request_check(c, ck);
  if (err) {
    fprintf(stderr, "mapwatch: cannot watch the root window\n");
    return 2;
  }
  xcb_atom_t wm_protocols = atom(c, "WM_PROTOCOLS");
  xcb_atom_t net_wm_ping = atom(c, "_NET_WM_PING");

  fflush(stdout);
  double t0 = now_ms();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[i], argv + i);
    _exit(127);
  }
  if (pid < 0) return 2;
  printf("pid %d\n", (int)pid);
  fflush(stdout);

  int fd = xcb_get_file_descriptor(c);
  xcb_window_t win = 0;
  double mapped = 0;
  while (!win) {
    xcb_generic_event_t* ev;
    while (!win && (ev = xcb_poll_for_event(c)) != NULL) {
      if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        double t = now_ms();
        xcb_map_notify_event_t* m = (xcb_map_notify_event_t*)ev;
        if (!m->override_redirect) {
          win = m->window;
          mapped = t;
        }
      }
      free(ev);
    }
    if (win) break;
    if (xcb_connection_has_error(c)) return 2;
    double left = t0 + limit_ms - now_ms();
    if (left <= 0) {
      fprintf(stderr, "mapwatch: no window mapped within %.0f ms\n", limit_ms);
      return 1;
    }
    struct pollfd p = {fd, POLLIN, 0};
    poll(&p, 1, left > 100 ? 100 : (int)left + 1);
  }
  double map_cpu = cpu_ms(pid);
  if (maps_file) {
    char path[64], buf[65536];
    snprintf(path, sizeof path, "/proc/%d/maps", (int)pid);
    FILE* in = fopen(path, "r");
    FILE* out = fopen(maps_file, "w");
    size_t n;
    while (in && out && (n = fread(buf, 1, sizeof buf, in)) > 0) fwrite(buf, 1, n, out);
    if (in) fclose(in);
    if (out) fclose(out);
  }
  printf("window 0x%x\nmap_ms %.1f\nmap_cpu_ms %.1f\n", (unsigned)win, mapped - t0, map_cpu);
  fflush(stdout);
  if (!ping) return 0;

  if (!has_protocol(c, win, wm_protocols, net_wm_ping)) {
    /* Qt and GTK set WM_PROTOCOLS before mapping; give a late one a moment. */
    usleep(100000);
    if (!has_protocol(c, win, wm_protocols, net_wm_ping)) {
      fprintf(stderr, "mapwatch: the window does not answer _NET_WM_PING\n");
      printf("ping_count 0\n");
      return 0;
    }
  }

  size_t cap = 1024, count = 0;
  double* lat = malloc(cap * sizeof *lat);
  uint32_t serial = 0;
  double sent = -1, next_send = now_ms();
  /* CPU samples every 50 ms; idle once the last quiet_ms stayed under 2 %. */
  double window_start = now_ms(), window_cpu = cpu_ms(pid), idle_at = -1;
  double sample_at = window_start;
  while (idle_at < 0) {
    double t = now_ms();
    if (t - t0 > limit_ms || kill(pid, 0) != 0) break;
    if (sent < 0 && t >= next_send) {
      xcb_client_message_event_t m;
      memset(&m, 0, sizeof m);
      m.response_type = XCB_CLIENT_MESSAGE;
      m.format = 32;
      m.window = win;
      m.type = wm_protocols;
      m.data.data32[0] = net_wm_ping;
      m.data.data32[1] = ++serial;
      m.data.data32[2] = win;
      xcb_send_event(c, 0, win, XCB_EVENT_MASK_NO_EVENT, (const char*)&m);
      xcb_flush(c);
      sent = t;
    }
    xcb_generic_event_t* ev;
    while ((ev = xcb_poll_for_event(c)) != NULL) {
      if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
        xcb_client_message_event_t* m = (xcb_client_message_event_t*)ev;
        if (m->type == wm_protocols && m->data.data32[0] == net_wm_ping &&
            m->data.data32[1] == serial && sent >= 0) {
          double got = now_ms();
          if (count == cap) lat = realloc(lat, (cap *= 2) * sizeof *lat);
          lat[count++] = got - sent;
          sent = -1;
          next_send = got + 10;
        }
      }
      free(ev);
    }
    if (xcb_connection_has_error(c)) return 2;
    if (t - sample_at >= 50) {
      sample_at = t;
      double cpu = cpu_ms(pid);
      int waiting = sent >= 0 && t - sent > 50;
      if (cpu - window_cpu > 0.02 * (t - window_start) || waiting || any_runnable(pid)) {
        /* busy: the quiet span starts again from here */
        window_start = t;
        window_cpu = cpu;
      } else if (t - window_start >= quiet_ms) {
        idle_at = window_start;
      }
    }
    struct pollfd p = {fd, POLLIN, 0};
    poll(&p, 1, 5);
  }
  if (sent >= 0) {
    if (count == cap) lat = realloc(lat, (cap *= 2) * sizeof *lat);
    lat[count++] = now_ms() - sent;
  }
  if (idle_at >= 0) printf("idle_ms %.1f\n", idle_at - t0);
  printf("ping_count %zu\n", count);
  if (count > 0) {
    double max = 0;
    for (size_t k = 0; k < count; ++k)
      if (lat[k] > max) max = lat[k];
    qsort(lat, count, sizeof *lat, cmp_double);
    printf("ping_max_ms %.1f\nping_median_ms %.2f\n", max, lat[count / 2]);
  }
  free(lat);
  xcb_disconnect(c);
  return 0;
}
