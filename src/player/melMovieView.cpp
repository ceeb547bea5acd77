#include "melMovieView.h"

#include "melMovieEngine.h"
#include "melWakeup.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QVBoxLayout>

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <atomic>

namespace {
void *GetProcAddress(void *, const char *aName) {
  QOpenGLContext *context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void *>(context->getProcAddress(aName)) : nullptr;
}
} // namespace

// The native window the engine draws into.
class tMovieSurfaceC : public QOpenGLWindow {
public:
  explicit tMovieSurfaceC(TMovieView *aView) : mView(aView) {}
  ~tMovieSurfaceC() override { SetEngine(nullptr); }

  void SetEngine(tMovieEngineC *aEngine);
  bool Drawing() const { return mRender != nullptr; }
  int FramesDrawn() const { return mFramesDrawn; }

protected:
  void initializeGL() override;
  void paintGL() override;

private:
  static void OnRenderUpdate(void *aContext);
  void CreateRenderContext();
  void FreeRenderContext();

  TMovieView *mView;
  tMovieEngineC *mEngine = nullptr;
  QMetaObject::Connection mStarted, mStopping;
  mpv_render_context *mRender = nullptr;
  bool mGLReady = false;
  int mFramesDrawn = 0;
  std::atomic<bool> mUpdateQueued{false};
};

void tMovieSurfaceC::SetEngine(tMovieEngineC *aEngine) {
  FreeRenderContext();
  QObject::disconnect(mStarted);
  QObject::disconnect(mStopping);
  mEngine = aEngine;
  if (mEngine) {
    mStarted = QObject::connect(mEngine, &tMovieEngineC::Started, this, [this] {
      if (mGLReady) {
        makeCurrent();
        CreateRenderContext();
        doneCurrent();
      }
    });
    // Direct: the render context must go while the handle still exists.
    mStopping = QObject::connect(
        mEngine, &tMovieEngineC::Stopping, this, [this] { FreeRenderContext(); },
        Qt::DirectConnection);
    if (mEngine->Handle() && mGLReady) {
      makeCurrent();
      CreateRenderContext();
      doneCurrent();
    }
  }
  update();
}

void tMovieSurfaceC::initializeGL() {
  mGLReady = true;
  // The engine's GL objects must go with the context, while it can still be
  // made current.
  QObject::connect(
      context(), &QOpenGLContext::aboutToBeDestroyed, this,
      [this] {
        FreeRenderContext();
        mGLReady = false;
      },
      Qt::DirectConnection);
  CreateRenderContext();
}

void tMovieSurfaceC::CreateRenderContext() {
  if (mRender || !mEngine || !mEngine->Handle())
    return;
  mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
  char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                               {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&mRender, mEngine->Handle(), params) < 0) {
    mRender = nullptr;
    qWarning("The movie picture cannot be drawn: no OpenGL render context.");
    return;
  }
  mpv_render_context_set_update_callback(mRender, &tMovieSurfaceC::OnRenderUpdate, this);
  mEngine->SetDrawing(true);
  emit mView->DrawingStarted();
}

void tMovieSurfaceC::FreeRenderContext() {
  if (!mRender)
    return;
  const bool needContext = QOpenGLContext::currentContext() != context();
  if (needContext)
    makeCurrent();
  mpv_render_context_set_update_callback(mRender, nullptr, nullptr);
  // The engine stops the picture it was drawing here; the null output lets
  // later movies load until a render context is back.
  mpv_render_context_free(mRender);
  mRender = nullptr;
  if (needContext)
    doneCurrent();
  if (mEngine)
    mEngine->SetDrawing(false);
}

void tMovieSurfaceC::OnRenderUpdate(void *aContext) {
  // Called on an engine thread: only queue a repaint on the GUI thread.
  auto *surface = static_cast<tMovieSurfaceC *>(aContext);
  PostOnce(surface, surface->mUpdateQueued, [surface] { surface->update(); });
}

void tMovieSurfaceC::paintGL() {
  if (!mRender) {
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  const qreal ratio = devicePixelRatio();
  mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio),
                     0};
  int flipY = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(mRender, params);
  ++mFramesDrawn;
}

TMovieView::TMovieView(QWidget *aParent) : QWidget(aParent), mSurface(new tMovieSurfaceC(this)) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // The container owns the surface from here on.
  QWidget *container = QWidget::createWindowContainer(mSurface, this);
  container->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(container);
}

TMovieView::~TMovieView() {
  mSurface->SetEngine(nullptr);
}

void TMovieView::SetEngine(tMovieEngineC *aEngine) {
  mSurface->SetEngine(aEngine);
}

bool TMovieView::Drawing() const {
  return mSurface->Drawing();
}

int TMovieView::FramesDrawn() const {
  return mSurface->FramesDrawn();
}

QImage TMovieView::grabFramebuffer() {
  return mSurface->grabFramebuffer();
}
