#include "melQTVideoWidget.h"

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

TQTVideoWidget::TQTVideoWidget(QWidget *aParent) : QOpenGLWidget(aParent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TQTVideoWidget::~TQTVideoWidget() {
  FreeRenderContext();
}

void TQTVideoWidget::SetEngine(mpv_handle *aMpv, bool aSwitchOutput) {
  FreeRenderContext();
  mMpv = aMpv;
  mSwitchOutput = aSwitchOutput;
  if (mMpv && mGLReady) {
    makeCurrent();
    CreateRenderContext();
    doneCurrent();
  }
  update();
}

void TQTVideoWidget::initializeGL() {
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
  if (mMpv)
    CreateRenderContext();
}

void TQTVideoWidget::CreateRenderContext() {
  if (mRender || !mMpv)
    return;
  mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
  char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                               {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&mRender, mMpv, params) < 0) {
    mRender = nullptr;
    qWarning("The movie picture cannot be drawn: no OpenGL render context.");
    return;
  }
  mpv_render_context_set_update_callback(mRender, &TQTVideoWidget::OnRenderUpdate, this);
  SetOutput("libmpv");
  emit DrawingStarted();
}

void TQTVideoWidget::FreeRenderContext() {
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
  SetOutput("null");
}

void TQTVideoWidget::SetOutput(const char *aOutput) {
  if (mSwitchOutput && mMpv)
    mpv_set_property_string(mMpv, "vo", aOutput);
}

void TQTVideoWidget::OnRenderUpdate(void *aContext) {
  // Called on an engine thread: only queue a repaint on the GUI thread.
  auto *widget = static_cast<TQTVideoWidget *>(aContext);
  if (widget->mUpdateQueued.exchange(true))
    return;
  QMetaObject::invokeMethod(
      widget,
      [widget] {
        widget->mUpdateQueued = false;
        widget->update();
      },
      Qt::QueuedConnection);
}

void TQTVideoWidget::paintGL() {
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
