#include "melTopLevelWindows.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A display of the test's own: the test acts as window manager there and
// moves the focus, which must not disturb the programs that share the
// suite's display.
class tPrivateXvfbC {
public:
  tPrivateXvfbC() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
      mError = "Xvfb is missing; scripts/install-deps installs it";
      return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
      mError = "no pipe";
      return;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string program = xvfb.toStdString();
    const std::string fd = std::to_string(fds[1]);
    // No reset when the last client goes: a test connecting while the server
    // resets after the one before would be refused.
    const char *args[] = {program.c_str(), "-displayfd", fd.c_str(), "-nolisten",  "tcp",
                          "-noreset",      "-screen",    "0",        "320x240x24", nullptr};
    mPid = fork();
    if (mPid == 0) {
      // The display goes with the test, even one that crashed: a server left
      // behind would hold the test runner's output open.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      execv(program.c_str(), const_cast<char *const *>(args));
      _exit(127);
    }
    close(fds[1]);
    if (mPid < 0) {
      mPid = -1;
      mError = "Xvfb cannot start";
      close(fds[0]);
      return;
    }
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(fds[0]);
    if (number.empty())
      mError = "Xvfb named no display";
    else
      mDisplay = QByteArray(":") + number.c_str();
  }
  ~tPrivateXvfbC() {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      waitpid(mPid, nullptr, 0);
    }
  }
  const QByteArray &Display() const { return mDisplay; }
  const std::string &Error() const { return mError; }

private:
  pid_t mPid = -1;
  QByteArray mDisplay;
  std::string mError;
};

class TopLevelWindowsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { sXvfb = new tPrivateXvfbC; }
  static void TearDownTestSuite() {
    delete sXvfb;
    sXvfb = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(sXvfb->Display().isEmpty()) << sXvfb->Error();
    c = xcb_connect(sXvfb->Display().constData(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(c), 0);
    mRoot = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  }
  // The test's windows go with its connection.
  void TearDown() override {
    if (!c)
      return;
    if (xcb_connection_has_error(c) == 0) {
      // What a test set on the root goes with it.
      xcb_delete_property(c, mRoot, Atom("_NET_SUPPORTING_WM_CHECK"));
      xcb_delete_property(c, mRoot, Atom("_NET_CLIENT_LIST"));
    }
    xcb_disconnect(c);
  }

  xcb_atom_t Atom(const char *aName) const {
    auto *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(aName), aName), nullptr);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  }

  enum tTitleE { WmName, NetWmName };
  xcb_window_t Window(const std::string &aTitle, tTitleE aWhere, bool aMapped = true) {
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, mRoot, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (aWhere == NetWmName) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_NAME"),
                          Atom("UTF8_STRING"), 8, aTitle.size(), aTitle.data());
      // An old-style title that differs, as toolkits write a lossy one.
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 3,
                          "old");
    } else {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                          aTitle.size(), aTitle.data());
    }
    if (aMapped)
      xcb_map_window(c, window);
    Sync();
    return window;
  }

  void Sync() const { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

  std::vector<xcb_window_t> Stack() const {
    auto *tree = xcb_query_tree_reply(c, xcb_query_tree(c, mRoot), nullptr);
    const xcb_window_t *children = xcb_query_tree_children(tree);
    std::vector<xcb_window_t> stack(children, children + xcb_query_tree_children_length(tree));
    std::free(tree);
    return stack;
  }

  xcb_window_t Focus() const {
    auto *reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t focus = reply->focus;
    std::free(reply);
    return focus;
  }

  // Plays a window manager: names a check window and lists aClients.
  void ActAsWindowManager(const std::vector<xcb_window_t> &aClients, bool aRunning = true) {
    const xcb_window_t check = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, check, mRoot, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t checkAtom = Atom("_NET_SUPPORTING_WM_CHECK");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, mRoot, checkAtom, XCB_ATOM_WINDOW, 32, 1, &check);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, check, checkAtom, XCB_ATOM_WINDOW, 32, 1, &check);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, mRoot, Atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW,
                        32, aClients.size(), aClients.data());
    if (!aRunning)
      // The manager ended; its list stays on the root.
      xcb_destroy_window(c, check);
    // Only a running manager takes the requests over; otherwise the test
    // watches what reaches the root and lets the requests through.
    const uint32_t mask =
        aRunning ? XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT : XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, mRoot, XCB_CW_EVENT_MASK, &mask);
    Sync();
  }

  // The windows that were asked to become active, in order.
  std::vector<xcb_window_t> ActivationRequests() const {
    Sync();
    std::vector<xcb_window_t> windows;
    const xcb_atom_t active = Atom("_NET_ACTIVE_WINDOW");
    while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
      if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
        const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
        if (message->type == active && message->format == 32 && message->data.data32[0] == 2)
          windows.push_back(message->window);
      }
      std::free(event);
    }
    return windows;
  }

  static tPrivateXvfbC *sXvfb;
  xcb_connection_t *c = nullptr;
  xcb_window_t mRoot = 0;
};

tPrivateXvfbC *TopLevelWindowsTest::sXvfb = nullptr;

TEST_F(TopLevelWindowsTest, WithoutAWindowManagerTheShownWindowOfThatExactTitleGoesOnTop) {
  // A hidden window of the title comes first and must be passed over.
  Window("Player", WmName, false);
  const xcb_window_t plain = Window("Player", WmName);
  const xcb_window_t utf8 = Window("Spieler ♪ Übung", NetWmName);
  const xcb_window_t lower = Window("player", WmName);

  QStringList titles;
  for (const tTopLevelWindowC &window : TopLevelWindows(sXvfb->Display()))
    titles << window.mTitle;
  EXPECT_EQ(titles, (QStringList{QStringLiteral("Player"), QStringLiteral("Spieler ♪ Übung"),
                                 QStringLiteral("player")}));

  const struct {
    const char *mTitle;
    xcb_window_t mRaised;
  } cases[] = {
      {"Player", plain}, {"Spieler ♪ Übung", utf8},
      {"player", lower}, {"Player", plain},
      {"PLAYER", 0},     {"Play", 0},
      {"", 0},
  };
  for (const auto &[title, raised] : cases) {
    SCOPED_TRACE(title);
    const std::vector<xcb_window_t> before = Stack();
    EXPECT_EQ(RaiseWindowTitled(QString::fromUtf8(title), sXvfb->Display()), raised != 0);
    Sync();
    if (raised) {
      EXPECT_EQ(Stack().back(), raised);
      EXPECT_EQ(Focus(), raised);
    } else {
      EXPECT_EQ(Stack(), before);
    }
  }
}

TEST_F(TopLevelWindowsTest, AWindowManagerIsAskedToActivateTheFirstListedWindowOfThatTitle) {
  const xcb_window_t first = Window("Player", NetWmName);
  const xcb_window_t second = Window("Player", WmName);
  const xcb_window_t other = Window("Other", WmName);
  ActAsWindowManager({other, second, first});
  const std::vector<xcb_window_t> before = Stack();

  EXPECT_TRUE(RaiseWindowTitled(QStringLiteral("Player"), sXvfb->Display()));
  EXPECT_EQ(ActivationRequests(), std::vector<xcb_window_t>{second});
  // Stacking is the window manager's business.
  EXPECT_EQ(Stack(), before);
  EXPECT_FALSE(RaiseWindowTitled(QStringLiteral("Absent"), sXvfb->Display()));
  EXPECT_TRUE(ActivationRequests().empty());
}

TEST_F(TopLevelWindowsTest, AClientListLeftByAnEndedWindowManagerIsNotTrusted) {
  const xcb_window_t target = Window("Player", WmName);
  const xcb_window_t above = Window("Other", WmName);
  ActAsWindowManager({above, target}, false);

  EXPECT_TRUE(RaiseWindowTitled(QStringLiteral("Player"), sXvfb->Display()));
  EXPECT_TRUE(ActivationRequests().empty());
  EXPECT_EQ(Stack().back(), target);
}

TEST(TopLevelWindowsWithoutDisplayTest, FindNothingAndRaiseNothing) {
  const QByteArray nowhere = ":65000";
  EXPECT_TRUE(TopLevelWindows(nowhere).isEmpty());
  EXPECT_FALSE(RaiseWindowTitled(QStringLiteral("Player"), nowhere));
}

} // namespace
