#include "melTopLevelWindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

template <typename T> using tReplyP = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> tReplyP<T> Reply(T *aReply) {
  return tReplyP<T>(aReply, &std::free);
}

// Titles longer than this are cut; no real title comes near it.
constexpr uint32_t cMaxTitleLongs = 1024;

class tDisplayC {
public:
  explicit tDisplayC(const QByteArray &aDisplay) {
    int screenNumber = 0;
    mConnection = xcb_connect(aDisplay.isEmpty() ? nullptr : aDisplay.constData(), &screenNumber);
    if (xcb_connection_has_error(mConnection))
      return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(mConnection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
      xcb_screen_next(&screens);
    if (screens.rem)
      mRoot = screens.data->root;
  }
  ~tDisplayC() { xcb_disconnect(mConnection); }
  tDisplayC(const tDisplayC &) = delete;
  tDisplayC &operator=(const tDisplayC &) = delete;

  bool Usable() const { return mRoot != XCB_WINDOW_NONE; }
  xcb_connection_t *Connection() const { return mConnection; }
  xcb_window_t Root() const { return mRoot; }

  xcb_atom_t Atom(const char *aName) const {
    const auto reply = Reply(xcb_intern_atom_reply(
        mConnection, xcb_intern_atom(mConnection, 0, std::strlen(aName), aName), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  }

private:
  xcb_connection_t *mConnection = nullptr;
  xcb_window_t mRoot = XCB_WINDOW_NONE;
};

xcb_window_t WindowProperty(const tDisplayC &aDisplay, xcb_window_t aWindow, xcb_atom_t aAtom) {
  xcb_connection_t *c = aDisplay.Connection();
  const auto reply = Reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, aWindow, aAtom, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 ||
      xcb_get_property_value_length(reply.get()) != 4)
    return XCB_WINDOW_NONE;
  return *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
}

// An EWMH window manager runs: the root names its check window, which names
// itself. A manager that ended leaves the root's name of a window that is
// gone.
bool WindowManagerRuns(const tDisplayC &aDisplay) {
  const xcb_atom_t check = aDisplay.Atom("_NET_SUPPORTING_WM_CHECK");
  const xcb_window_t window = WindowProperty(aDisplay, aDisplay.Root(), check);
  return window != XCB_WINDOW_NONE && WindowProperty(aDisplay, window, check) == window;
}

// The window manager's list of client windows; none when no manager runs or
// it publishes none.
std::optional<std::vector<xcb_window_t>> ClientList(const tDisplayC &aDisplay) {
  if (!WindowManagerRuns(aDisplay))
    return std::nullopt;
  xcb_connection_t *c = aDisplay.Connection();
  const xcb_atom_t atom = aDisplay.Atom("_NET_CLIENT_LIST");
  if (atom == XCB_ATOM_NONE)
    return std::nullopt;
  const auto reply = Reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, aDisplay.Root(), atom, XCB_ATOM_WINDOW, 0, UINT32_MAX / 4),
      nullptr));
  if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
    return std::nullopt;
  const auto *ids = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
  return std::vector<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply.get()) / 4);
}

// The root's children that are shown, bottom to top.
std::vector<xcb_window_t> MappedRootChildren(const tDisplayC &aDisplay) {
  xcb_connection_t *c = aDisplay.Connection();
  const auto tree = Reply(xcb_query_tree_reply(c, xcb_query_tree(c, aDisplay.Root()), nullptr));
  if (!tree)
    return {};
  const xcb_window_t *children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  cookies.reserve(count);
  for (int i = 0; i < count; ++i)
    cookies.push_back(xcb_get_window_attributes(c, children[i]));
  std::vector<xcb_window_t> shown;
  for (int i = 0; i < count; ++i) {
    const auto attributes = Reply(xcb_get_window_attributes_reply(c, cookies[i], nullptr));
    if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
        !attributes->override_redirect)
      shown.push_back(children[i]);
  }
  return shown;
}

std::vector<tTopLevelWindowC> Titled(const tDisplayC &aDisplay,
                                     const std::vector<xcb_window_t> &aWindows) {
  xcb_connection_t *c = aDisplay.Connection();
  const xcb_atom_t netName = aDisplay.Atom("_NET_WM_NAME");
  const xcb_atom_t utf8 = aDisplay.Atom("UTF8_STRING");
  // All requests first, then the answers: one round trip for the lot.
  std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
  cookies.reserve(aWindows.size());
  for (const xcb_window_t window : aWindows)
    cookies.emplace_back(xcb_get_property(c, 0, window, netName, utf8, 0, cMaxTitleLongs),
                         xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY,
                                          0, cMaxTitleLongs));
  std::vector<tTopLevelWindowC> windows;
  windows.reserve(aWindows.size());
  for (std::size_t i = 0; i < aWindows.size(); ++i) {
    const auto net = Reply(xcb_get_property_reply(c, cookies[i].first, nullptr));
    const auto plain = Reply(xcb_get_property_reply(c, cookies[i].second, nullptr));
    tTopLevelWindowC window;
    window.mId = aWindows[i];
    const auto text = [](const xcb_get_property_reply_t &aReply) {
      return QByteArray(static_cast<const char *>(xcb_get_property_value(&aReply)),
                        xcb_get_property_value_length(&aReply));
    };
    if (net && net->type == utf8 && net->format == 8)
      window.mTitle = QString::fromUtf8(text(*net));
    else if (plain && plain->format == 8 && plain->type == utf8)
      window.mTitle = QString::fromUtf8(text(*plain));
    else if (plain && plain->format == 8 && plain->type != XCB_ATOM_NONE)
      // STRING is Latin-1; compound text reads right as long as it is too.
      window.mTitle = QString::fromLatin1(text(*plain));
    windows.push_back(window);
  }
  return windows;
}

bool Succeeded(xcb_connection_t *aConnection, xcb_void_cookie_t aCookie) {
  xcb_generic_error_t *error = xcb_request_check(aConnection, aCookie);
  std::free(error);
  return error == nullptr;
}

bool Activate(const tDisplayC &aDisplay, xcb_window_t aWindow) {
  xcb_connection_t *c = aDisplay.Connection();
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = aWindow;
  message.type = aDisplay.Atom("_NET_ACTIVE_WINDOW");
  // Source 2: on the user's behalf, which window managers do not refuse as
  // focus stealing.
  message.data.data32[0] = 2;
  message.data.data32[1] = XCB_CURRENT_TIME;
  return Succeeded(c, xcb_send_event_checked(c, 0, aDisplay.Root(),
                                             XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                                                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                             reinterpret_cast<const char *>(&message)));
}

bool RaiseAndFocus(const tDisplayC &aDisplay, xcb_window_t aWindow) {
  xcb_connection_t *c = aDisplay.Connection();
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  const bool raised =
      Succeeded(c, xcb_configure_window_checked(c, aWindow, XCB_CONFIG_WINDOW_STACK_MODE, &above));
  const bool focused = Succeeded(
      c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_POINTER_ROOT, aWindow, XCB_CURRENT_TIME));
  return raised && focused;
}

} // namespace

QList<tTopLevelWindowC> TopLevelWindows(const QByteArray &aDisplay) {
  const tDisplayC display(aDisplay);
  if (!display.Usable())
    return {};
  const auto managed = ClientList(display);
  const auto windows = Titled(display, managed ? *managed : MappedRootChildren(display));
  return QList<tTopLevelWindowC>(windows.begin(), windows.end());
}

bool RaiseWindowTitled(const QString &aTitle, const QByteArray &aDisplay) {
  if (aTitle.isEmpty())
    return false;
  const tDisplayC display(aDisplay);
  if (!display.Usable())
    return false;
  const auto managed = ClientList(display);
  for (const tTopLevelWindowC &window :
       Titled(display, managed ? *managed : MappedRootChildren(display))) {
    if (window.mTitle == aTitle)
      return managed ? Activate(display, window.mId) : RaiseAndFocus(display, window.mId);
  }
  return false;
}
