// Double-click to first drawn frame in the main window, against a bare libmpv
// player on the same render path (mpv's OpenGL render API into a native GL
// window of the same size) from its loadfile to its first drawn frame: both
// are loads into a running player. Needs a display (Xvfb).
#include "melMain.h"
#include "melMovieView.h"
#include "melPlaybackBench.h"
#include "melQTControl.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLWindow>
#include <QTest>

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

void *GetProcAddress(void *, const char *aName) {
  QOpenGLContext *context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void *>(context->getProcAddress(aName)) : nullptr;
}

// The reference: libmpv with its own defaults, nothing of ours.
class tBarePlayerC : public QOpenGLWindow {
public:
  ~tBarePlayerC() override {
    makeCurrent();
    if (mRender)
      mpv_render_context_free(mRender);
    doneCurrent();
    if (mMpv)
      mpv_terminate_destroy(mMpv);
  }
  bool Start() {
    mMpv = mpv_create();
    if (!mMpv)
      return false;
    for (auto [name, value] : {std::pair{"config", "no"},
                               {"terminal", "no"},
                               {"idle", "yes"},
                               {"vo", "libmpv"},
                               {"hwdec", "no"},
                               {"keep-open", "yes"}})
      mpv_set_option_string(mMpv, name, value);
    return mpv_initialize(mMpv) >= 0;
  }
  // Starts playing aPath; FramesDrawn grows once its first frame is drawn.
  void Load(const QString &aPath) {
    const QByteArray path = aPath.toUtf8();
    const char *args[] = {"loadfile", path.constData(), "replace", nullptr};
    mpv_command(mMpv, args);
  }
  void Unload() {
    const char *args[] = {"stop", nullptr};
    mpv_command(mMpv, args);
  }
  int FramesDrawn() const { return mFramesDrawn; }
  bool Ready() const { return mRender != nullptr; }

protected:
  void initializeGL() override {
    mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&mRender, mMpv, params) < 0) {
      mRender = nullptr;
      return;
    }
    mpv_render_context_set_update_callback(
        mRender,
        [](void *aSelf) {
          auto *self = static_cast<tBarePlayerC *>(aSelf);
          if (!self->mQueued.exchange(true))
            QMetaObject::invokeMethod(
                self,
                [self] {
                  self->mQueued = false;
                  self->update();
                },
                Qt::QueuedConnection);
        },
        this);
  }
  void paintGL() override {
    if (!mRender)
      return;
    const bool frame = mpv_render_context_update(mRender) & MPV_RENDER_UPDATE_FRAME;
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), width(), height(), 0};
    int flipY = 1;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(mRender, params);
    if (frame)
      ++mFramesDrawn;
  }

private:
  mpv_handle *mMpv = nullptr;
  mpv_render_context *mRender = nullptr;
  std::atomic<bool> mQueued{false};
  int mFramesDrawn = 0;
};

template <typename tDone> double MillisecondsUntil(const QElapsedTimer &aTimer, tDone aDone) {
  QDeadlineTimer deadline(10000);
  while (!aDone()) {
    if (deadline.hasExpired())
      return -1;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return double(aTimer.nsecsElapsed()) / 1e6;
}

void Print(const char *aWhat, const std::vector<double> &aRuns) {
  std::printf("%s: median %.1f ms (runs:", aWhat, Median(aRuns));
  for (double value : aRuns)
    std::printf(" %.1f", value);
  std::printf(")\n");
}

} // namespace

int main(int argc, char **argv) {
  return RunPlaybackBench(
      argc, argv, {QSize(1280, 720), 30, 10, true, "veryfast"}, [](const tBenchHomeC &aHome) {
        constexpr int cRuns = 5;
        std::vector<double> ours, bare;
        QSize picture;
        for (int run = 0; run < cRuns; ++run) {
          // Ours: the window as the user has it, the episode listed.
          {
            TMain window;
            if (!ShowWithEpisodeListed(window))
              return 1;
            TMovieView *view = window.MovieControl()->View();
            const int before = view ? view->FramesDrawn() : 0;
            QElapsedTimer timer;
            timer.start();
            DoubleClickEpisode(window);
            const double ms = MillisecondsUntil(timer, [&] {
              TQTMovie *movie = window.MovieControl()->Movie();
              return movie && movie->Rate() > 0 && view && view->FramesDrawn() > before;
            });
            if (ms < 0) {
              std::fprintf(stderr, "the window drew no frame of the movie\n");
              return 1;
            }
            ours.push_back(ms);
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
            QElapsedTimer ready;
            ready.start();
            if (MillisecondsUntil(ready, [&] { return player.Ready(); }) < 0) {
              std::fprintf(stderr, "the reference player has no render context\n");
              return 1;
            }
            QTest::qWait(200);
            QElapsedTimer timer;
            timer.start();
            player.Load(aHome.Clip());
            const double ms = MillisecondsUntil(timer, [&] { return player.FramesDrawn() > 0; });
            if (ms < 0) {
              std::fprintf(stderr, "the reference player drew no frame\n");
              return 1;
            }
            bare.push_back(ms);
            player.Unload();
          }
        }
        Print("Melodra, double-click to first drawn frame", ours);
        Print("bare libmpv player, loadfile to first drawn frame", bare);
        std::printf("picture %dx%d on both sides; ratio: %.2f\n", picture.width(), picture.height(),
                    Median(ours) / Median(bare));
        return 0;
      });
}
