// Double-click to first drawn frame in the main window, against a bare libmpv
// player on the same render path (mpv's OpenGL render API into a native GL
// window of the same size) from its loadfile to its first drawn frame: both
// are loads into a running player holding no movie, and on both a frame
// counts once it shows the movie's picture. Needs a display (Xvfb).
//
// MELODRA_BENCH_WINDOW=queue-at-once carries out the window's playback
// commands at once instead of at its queue's next tick.
#include "melCommandQueue.h"
#include "melMain.h"
#include "melMovieView.h"
#include "melPlaybackBench.h"
#include "melQTControl.h"

#include <QElapsedTimer>

#include <mpv/client.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int cTimeoutMs = 10000;

// Counts the engine's complaints that its picture waited for a render that
// did not come: the thread drawing it was blocked on the engine.
class tStuckRendersC {
public:
  explicit tStuckRendersC(mpv_handle *aEngine) : mClient(mpv_create_client(aEngine, "bench")) {
    if (mClient)
      mpv_request_log_messages(mClient, "v");
  }
  ~tStuckRendersC() {
    if (mClient)
      mpv_destroy(mClient);
  }
  int Count() {
    while (mClient) {
      mpv_event *event = mpv_wait_event(mClient, 0);
      if (event->event_id == MPV_EVENT_NONE)
        break;
      if (event->event_id == MPV_EVENT_LOG_MESSAGE &&
          std::strstr(static_cast<mpv_event_log_message *>(event->data)->text, "stuck"))
        ++mCount;
    }
    return mCount;
  }

private:
  mpv_handle *mClient;
  int mCount = 0;
};

// Milliseconds from aTimer's start until a render that shows the picture;
// -1 when none comes in time. Each new render is drawn again and looked at,
// the same on both sides.
template <typename tRenders, typename tGrab>
double MillisecondsToPicture(const QElapsedTimer &aTimer, tStuckRendersC &aStuck, tRenders aRenders,
                             tGrab aGrab) {
  int seen = aRenders();
  double ms = -1;
  RunUntil(
      [&] {
        aStuck.Count();
        if (aRenders() == seen)
          return false;
        const double at = double(aTimer.nsecsElapsed()) / 1e6;
        const bool shown = ShowsPicture(aGrab());
        seen = aRenders();
        if (shown)
          ms = at;
        return shown;
      },
      cTimeoutMs);
  return ms;
}

struct tSideC {
  std::vector<double> mRuns;
  int mStuck = 0;
};

void Print(const char *aWhat, const tSideC &aSide) {
  std::printf("%s: median %.1f ms (runs:", aWhat, Median(aSide.mRuns));
  for (double value : aSide.mRuns)
    std::printf(" %.1f", value);
  std::printf("); renders stuck: %d\n", aSide.mStuck);
}

} // namespace

int main(int argc, char **argv) {
  UseOneSoundOutput();
  return RunPlaybackBench(
      argc, argv, {QSize(1280, 720), 30, 10, true, "veryfast"}, [](const tBenchHomeC &aHome) {
        constexpr int cRuns = 9;
        const bool queueAtOnce = qgetenv("MELODRA_BENCH_WINDOW") == "queue-at-once";
        tSideC ours, bare;
        QSize picture;
        for (int run = 0; run < cRuns; ++run) {
          // Ours: the window as the user has it, the episode listed.
          {
            TMain window;
            if (!ShowWithEpisodeListed(window))
              return 1;
            TMovieView *view = window.MovieControl()->View();
            if (!view) {
              std::fprintf(stderr, "the window has no movie view (MELODRA_NO_VIDEO_OUTPUT?)\n");
              return 1;
            }
            // Listing the episode previews it; the load measured starts
            // from an empty player, as the reference's does.
            window.EnqueueCommand(qkClose, nullptr);
            if (!RunUntil(
                    [&] {
                      return !window.MovieControl()->Movie() && !window.MovieControl()->Loading() &&
                             !ShowsPicture(view->grabFramebuffer());
                    },
                    cTimeoutMs)) {
              std::fprintf(stderr, "the window does not close the previewed movie\n");
              return 1;
            }
            RunFor(200);
            tStuckRendersC stuck(window.MovieControl()->Engine().Handle());
            stuck.Count();
            QElapsedTimer timer;
            timer.start();
            DoubleClickEpisode(window);
            if (queueAtOnce)
              while (window.ProcessNextCommand()) {
              }
            const double ms = MillisecondsToPicture(
                timer, stuck, [&] { return view->FramesDrawn(); },
                [&] { return view->grabFramebuffer(); });
            if (ms < 0) {
              std::fprintf(stderr, "the window drew no frame of the movie\n");
              return 1;
            }
            ours.mRuns.push_back(ms);
            ours.mStuck += stuck.Count();
            picture = view->size();
          }
          // The reference, at the picture size ours drew.
          {
            tBarePlayerC player;
            if (!player.Start()) {
              std::fprintf(stderr, "libmpv cannot start\n");
              return 1;
            }
            player.resize(picture);
            player.show();
            if (!RunUntil([&] { return player.Ready(); }, cTimeoutMs)) {
              std::fprintf(stderr, "the reference player has no render context\n");
              return 1;
            }
            RunFor(200);
            tStuckRendersC stuck(player.Handle());
            QElapsedTimer timer;
            timer.start();
            player.Load(aHome.Clip());
            const double ms = MillisecondsToPicture(
                timer, stuck, [&] { return player.Renders(); }, [&] { return player.Grab(); });
            if (ms < 0) {
              std::fprintf(stderr, "the reference player drew no frame\n");
              return 1;
            }
            bare.mRuns.push_back(ms);
            bare.mStuck += stuck.Count();
            player.Unload();
          }
        }
        Print(queueAtOnce ? "Melodra (queue at once), double-click to first drawn frame"
                          : "Melodra, double-click to first drawn frame",
              ours);
        Print("bare libmpv player, loadfile to first drawn frame", bare);
        std::printf("picture %dx%d on both sides; ratio: %.2f\n", picture.width(), picture.height(),
                    Median(ours.mRuns) / Median(bare.mRuns));
        return 0;
      });
}
