#include "melMovieView.h"

#include "melMovieEngine.h"
#include "melWakeup.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <atomic>
#include <memory>
#include <utility>

namespace {
constexpr int cWarmUpDelayMs = 300;

void *GetProcAddress(void *, const char *aName) {
  QOpenGLContext *context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void *>(context->getProcAddress(aName)) : nullptr;
}
} // namespace

// The native window the engine draws into. Its GL context is its own and
// made with the engine's handle, on an offscreen surface, so the engine can
// draw from the first movie on, before the window was ever shown.
struct tMovieDrawingC::tPartsC {
  tMovieEngineC *mEngine = nullptr;
  std::unique_ptr<QOpenGLContext> mContext;
  std::unique_ptr<QOffscreenSurface> mOffscreen;
  mpv_render_context *mRender = nullptr;
  int mFramesDrawn = 0;
};

tMovieDrawingC::tMovieDrawingC() = default;
tMovieDrawingC::tMovieDrawingC(tMovieDrawingC &&) noexcept = default;
tMovieDrawingC &tMovieDrawingC::operator=(tMovieDrawingC &&) noexcept = default;

tMovieDrawingC::~tMovieDrawingC() {
  if (!mParts || !mParts->mRender)
    return;
  const bool current = mParts->mContext && mParts->mOffscreen &&
                       mParts->mContext->makeCurrent(mParts->mOffscreen.get());
  mpv_render_context_free(mParts->mRender);
  if (current)
    mParts->mContext->doneCurrent();
  if (mParts->mEngine)
    mParts->mEngine->SetDrawing(false);
}

class tMovieSurfaceC : public QWindow {
public:
  explicit tMovieSurfaceC(TMovieView *aView) : mView(aView) {
    setSurfaceType(QSurface::OpenGLSurface);
  }
  ~tMovieSurfaceC() override { SetEngine(nullptr); }

  void SetEngine(tMovieEngineC *aEngine);
  tMovieDrawingC TakeDrawing();
  void GiveDrawing(tMovieDrawingC &&aDrawing);
  bool Drawing() const { return mRender != nullptr; }
  int FramesDrawn() const { return mFramesDrawn; }
  QImage Grab();

protected:
  bool event(QEvent *aEvent) override;
  void exposeEvent(QExposeEvent *aEvent) override;
  // The native window takes the input over the picture: the view gets it,
  // so the widgets around it see it as theirs.
  void mouseMoveEvent(QMouseEvent *aEvent) override { Forward(aEvent); }
  void mouseDoubleClickEvent(QMouseEvent *aEvent) override { Forward(aEvent); }
  void keyPressEvent(QKeyEvent *aEvent) override { Forward(aEvent); }

private:
  static void OnRenderUpdate(void *aContext);
  // Makes and frees the render context with the engine's handle.
  void FollowEngine();
  bool MakeContextCurrent();
  void CreateRenderContext();
  void FreeRenderContext();
  void WarmUp();
  // Draws the engine's picture into the back buffer; false when the window
  // cannot be drawn now.
  bool Draw();
  void Forward(QEvent *aEvent);

  TMovieView *mView;
  tMovieEngineC *mEngine = nullptr;
  QMetaObject::Connection mStarted, mStopping;
  std::unique_ptr<QOpenGLContext> mContext;
  std::unique_ptr<QOffscreenSurface> mOffscreen;
  mpv_render_context *mRender = nullptr;
  int mFramesDrawn = 0;
  std::atomic<bool> mUpdateQueued{false};
};

void tMovieSurfaceC::SetEngine(tMovieEngineC *aEngine) {
  FreeRenderContext();
  QObject::disconnect(mStarted);
  QObject::disconnect(mStopping);
  mEngine = aEngine;
  FollowEngine();
  requestUpdate();
}

void tMovieSurfaceC::FollowEngine() {
  if (!mEngine)
    return;
  mStarted =
      QObject::connect(mEngine, &tMovieEngineC::Started, this, [this] { CreateRenderContext(); });
  // Direct: the render context must go while the handle still exists.
  mStopping = QObject::connect(
      mEngine, &tMovieEngineC::Stopping, this, [this] { FreeRenderContext(); },
      Qt::DirectConnection);
  CreateRenderContext();
}

tMovieDrawingC tMovieSurfaceC::TakeDrawing() {
  tMovieDrawingC drawing;
  drawing.mParts = std::make_unique<tMovieDrawingC::tPartsC>();
  auto &parts = *drawing.mParts;
  QObject::disconnect(mStarted);
  QObject::disconnect(mStopping);
  if (mRender)
    mpv_render_context_set_update_callback(mRender, nullptr, nullptr);
  // Not left current on this window, which goes.
  if (mContext && QOpenGLContext::currentContext() == mContext.get())
    mContext->doneCurrent();
  parts.mEngine = std::exchange(mEngine, nullptr);
  parts.mContext = std::move(mContext);
  parts.mOffscreen = std::move(mOffscreen);
  parts.mRender = std::exchange(mRender, nullptr);
  parts.mFramesDrawn = mFramesDrawn;
  return drawing;
}

void tMovieSurfaceC::GiveDrawing(tMovieDrawingC &&aDrawing) {
  if (!aDrawing.mParts)
    return;
  SetEngine(nullptr);
  auto &parts = *aDrawing.mParts;
  mContext = std::move(parts.mContext);
  mOffscreen = std::move(parts.mOffscreen);
  mRender = std::exchange(parts.mRender, nullptr);
  mFramesDrawn = parts.mFramesDrawn;
  mEngine = std::exchange(parts.mEngine, nullptr);
  // A render context handed over stays; CreateRenderContext keeps it.
  FollowEngine();
  if (mRender)
    mpv_render_context_set_update_callback(mRender, &tMovieSurfaceC::OnRenderUpdate, this);
  requestUpdate();
}

bool tMovieSurfaceC::MakeContextCurrent() {
  if (!mContext) {
    mContext = std::make_unique<QOpenGLContext>();
    mContext->setFormat(requestedFormat());
    mContext->setShareContext(QOpenGLContext::globalShareContext());
    mOffscreen = std::make_unique<QOffscreenSurface>();
    if (!mContext->create()) {
      qWarning("The movie picture cannot be drawn: no OpenGL context.");
      return false;
    }
    mOffscreen->setFormat(mContext->format());
    mOffscreen->create();
  }
  return mContext->isValid() && mContext->makeCurrent(mOffscreen.get());
}

void tMovieSurfaceC::CreateRenderContext() {
  if (mRender || !mEngine || !mEngine->Handle() || !MakeContextCurrent())
    return;
  mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
  char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                               {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  const int error = mpv_render_context_create(&mRender, mEngine->Handle(), params);
  mContext->doneCurrent();
  if (error < 0) {
    mRender = nullptr;
    qWarning("The movie picture cannot be drawn: no OpenGL render context.");
    return;
  }
  mpv_render_context_set_update_callback(mRender, &tMovieSurfaceC::OnRenderUpdate, this);
  mEngine->SetDrawing(true);
  // The engine sets its renderer up at its first drawing, which takes a
  // while in software GL; done once the window is up, the first movie
  // opened need not wait for it.
  QTimer::singleShot(cWarmUpDelayMs, this, [this] { WarmUp(); });
  emit mView->DrawingStarted();
}

void tMovieSurfaceC::WarmUp() {
  if (!mRender || mFramesDrawn > 0 || !MakeContextCurrent())
    return;
  QOpenGLFramebufferObject target(16, 16);
  mpv_opengl_fbo fbo{int(target.handle()), target.width(), target.height(), 0};
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(mRender, params);
  mContext->doneCurrent();
}

void tMovieSurfaceC::FreeRenderContext() {
  if (!mRender)
    return;
  const bool current = MakeContextCurrent();
  mpv_render_context_set_update_callback(mRender, nullptr, nullptr);
  // The engine stops the picture it was drawing here; the null output lets
  // later movies load until a render context is back.
  mpv_render_context_free(mRender);
  mRender = nullptr;
  if (current)
    mContext->doneCurrent();
  if (mEngine)
    mEngine->SetDrawing(false);
}

void tMovieSurfaceC::OnRenderUpdate(void *aContext) {
  // Called on an engine thread: only queue a repaint on the GUI thread.
  auto *surface = static_cast<tMovieSurfaceC *>(aContext);
  PostOnce(surface, surface->mUpdateQueued, [surface] { surface->requestUpdate(); });
}

bool tMovieSurfaceC::event(QEvent *aEvent) {
  if (aEvent->type() == QEvent::UpdateRequest) {
    if (Draw())
      mContext->swapBuffers(this);
    return true;
  }
  return QWindow::event(aEvent);
}

void tMovieSurfaceC::exposeEvent(QExposeEvent *) {
  if (Draw())
    mContext->swapBuffers(this);
}

bool tMovieSurfaceC::Draw() {
  if (!isExposed() || !mContext || !mContext->makeCurrent(this))
    return false;
  const qreal ratio = devicePixelRatio();
  const int width = int(this->width() * ratio), height = int(this->height() * ratio);
  if (!mRender) {
    QOpenGLFunctions *gl = mContext->functions();
    gl->glViewport(0, 0, width, height);
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    return true;
  }
  mpv_opengl_fbo fbo{int(mContext->defaultFramebufferObject()), width, height, 0};
  int flipY = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(mRender, params);
  ++mFramesDrawn;
  return true;
}

void tMovieSurfaceC::Forward(QEvent *aEvent) {
  // The surface fills the view, so positions need no mapping.
  QCoreApplication::sendEvent(mView, aEvent);
}

QImage tMovieSurfaceC::Grab() {
  if (!Draw())
    return {};
  const qreal ratio = devicePixelRatio();
  QImage image(int(width() * ratio), int(height() * ratio), QImage::Format_RGBA8888);
  mContext->functions()->glReadPixels(0, 0, image.width(), image.height(), GL_RGBA,
                                      GL_UNSIGNED_BYTE, image.bits());
  mContext->swapBuffers(this);
  return image.mirrored();
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

tMovieDrawingC TMovieView::TakeDrawing() {
  return mSurface->TakeDrawing();
}

void TMovieView::GiveDrawing(tMovieDrawingC &&aDrawing) {
  mSurface->GiveDrawing(std::move(aDrawing));
}

bool TMovieView::Drawing() const {
  return mSurface->Drawing();
}

int TMovieView::FramesDrawn() const {
  return mSurface->FramesDrawn();
}

QImage TMovieView::grabFramebuffer() {
  return mSurface->Grab();
}
