#include "main/TaskbarEntry.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace taskbar {
namespace {

xcb_connection_t* Connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
      xcb_intern_atom_reply(c, cookie, nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<xcb_atom_t> States(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netWmState) {
  std::vector<xcb_atom_t> atoms;
  auto cookie = xcb_get_property(c, 0, w, netWmState, XCB_ATOM_ATOM, 0, 64);
  std::unique_ptr<xcb_get_property_reply_t, FreeDeleter> reply(
      xcb_get_property_reply(c, cookie, nullptr));
  if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
    auto* data = static_cast<xcb_atom_t*>(xcb_get_property_value(reply.get()));
    int n = xcb_get_property_value_length(reply.get()) / 4;
    atoms.assign(data, data + n);
  }
  return atoms;
}

}  // namespace

bool SetSkipTaskbar(QWidget* window, bool skip) {
  xcb_connection_t* c = Connection();
  if (!c || !window || !window->windowHandle()) return false;
  auto w = static_cast<xcb_window_t>(window->winId());
  xcb_atom_t netWmState = Atom(c, "_NET_WM_STATE");
  xcb_atom_t skipAtom = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  if (netWmState == XCB_ATOM_NONE || skipAtom == XCB_ATOM_NONE) return false;

  // A window manager takes the change as a client message on a mapped window;
  // the property itself is also kept right, for an unmapped window or no manager.
  if (window->isVisible()) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = netWmState;
    ev.data.data32[0] = skip ? 1 : 0;  // add or remove
    ev.data.data32[1] = skipAtom;
    ev.data.data32[2] = 0;
    ev.data.data32[3] = 1;  // a normal application
    if (screen) {
      xcb_send_event(c, 0, screen->root,
                     XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                     reinterpret_cast<const char*>(&ev));
    }
  }
  std::vector<xcb_atom_t> atoms = States(c, w, netWmState);
  std::erase(atoms, skipAtom);
  if (skip) atoms.push_back(skipAtom);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmState, XCB_ATOM_ATOM, 32,
                      static_cast<uint32_t>(atoms.size()), atoms.data());
  xcb_flush(c);
  return true;
}

bool HasSkipTaskbar(QWidget* window) {
  xcb_connection_t* c = Connection();
  if (!c || !window || !window->windowHandle()) return false;
  xcb_atom_t netWmState = Atom(c, "_NET_WM_STATE");
  xcb_atom_t skipAtom = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  for (xcb_atom_t a : States(c, static_cast<xcb_window_t>(window->winId()), netWmState))
    if (a == skipAtom) return true;
  return false;
}

}  // namespace taskbar
