#include "melMovieView.h"

#include "melMovieEngine.h"

#include <QMetaObject>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <mpv/client.h>
#include <mpv/render_gl.h>

namespace {
void *GetProcAddress(void *, const char *aName) {
  QOpenGLContext *context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void *>(context->getProcAddress(aName)) : nullptr;
}
} // namespace

TMovieView::TMovieView(QWidget *aParent) : QOpenGLWidget(aParent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TMovieView::~TMovieView() {
  SetEngine(nullptr);
}

void TMovieView::SetEngine(tMovieEngineC *aEngine) {
  FreeRenderContext();
  disconnect(mStarted);
  disconnect(mStopping);
  mEngine = aEngine;
  if (mEngine) {
    mStarted = connect(mEngine, &tMovieEngineC::Started, this, [this] {
      if (mGLReady) {
        makeCurrent();
        CreateRenderContext();
        doneCurrent();
      }
    });
    // Direct: the render context must go while the handle still exists.
    mStopping = connect(
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

void TMovieView::initializeGL() {
  mGLReady = true;
  // Reparenting to another window replaces the GL context; the engine's GL
  // objects must go with the old one, while it can still be made current.
  connect(
      context(), &QOpenGLContext::aboutToBeDestroyed, this,
      [this] {
        FreeRenderContext();
        mGLReady = false;
      },
      Qt::DirectConnection);
  CreateRenderContext();
}

void TMovieView::CreateRenderContext() {
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
  mpv_render_context_set_update_callback(mRender, &TMovieView::OnRenderUpdate, this);
  mEngine->SetDrawing(true);
  emit DrawingStarted();
}

void TMovieView::FreeRenderContext() {
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

void TMovieView::OnRenderUpdate(void *aContext) {
  // Called on an engine thread: only queue a repaint on the GUI thread.
  auto *view = static_cast<TMovieView *>(aContext);
  if (view->mUpdateQueued.exchange(true))
    return;
  QMetaObject::invokeMethod(
      view,
      [view] {
        view->mUpdateQueued = false;
        view->update();
      },
      Qt::QueuedConnection);
}

void TMovieView::paintGL() {
  if (!mRender) {
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  const qreal ratio = devicePixelRatioF();
  mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio),
                     0};
  int flipY = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(mRender, params);
  ++mFramesDrawn;
}
