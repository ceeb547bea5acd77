#pragma once

#include <QOpenGLWidget>

#include <atomic>

struct mpv_handle;
struct mpv_render_context;

// Draws the engine's picture with its OpenGL render API. The render context
// lives exactly as long as both the engine and this widget's GL context; while
// it is missing, the engine draws to its null output, so a movie can load
// before the widget was ever shown and gets its picture once it is.
class TQTVideoWidget : public QOpenGLWidget {
  Q_OBJECT
public:
  explicit TQTVideoWidget(QWidget *aParent = nullptr);
  ~TQTVideoWidget() override;

  // nullptr detaches; the render context is freed first. aSwitchOutput lets
  // the widget move the engine's video output between libmpv and null.
  void SetEngine(mpv_handle *aMpv, bool aSwitchOutput);
  bool Drawing() const { return mRender != nullptr; }
  // Frames handed to the engine for drawing, for diagnostics.
  int FramesDrawn() const { return mFramesDrawn; }

signals:
  // A render context was created, the engine now draws here.
  void DrawingStarted();

protected:
  void initializeGL() override;
  void paintGL() override;

private:
  static void OnRenderUpdate(void *aContext);
  void CreateRenderContext();
  void FreeRenderContext();
  void SetOutput(const char *aOutput);

  mpv_handle *mMpv = nullptr;
  mpv_render_context *mRender = nullptr;
  bool mSwitchOutput = false;
  bool mGLReady = false;
  int mFramesDrawn = 0;
  std::atomic<bool> mUpdateQueued{false};
};
