#pragma once

#include <QOpenGLWidget>

#include <atomic>

struct mpv_render_context;
class tMovieEngineC;

// Draws an engine's picture with its OpenGL render API, and nothing else.
// The render context lives exactly as long as both the engine's handle and
// this widget's GL context; while it is missing, the engine draws to its null
// output, so a movie can load before the view was ever shown and gets its
// picture once it is.
class TMovieView : public QOpenGLWidget {
  Q_OBJECT
public:
  explicit TMovieView(QWidget *aParent = nullptr);
  ~TMovieView() override;

  // nullptr detaches; the render context is freed first.
  void SetEngine(tMovieEngineC *aEngine);
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

  tMovieEngineC *mEngine = nullptr;
  QMetaObject::Connection mStarted, mStopping;
  mpv_render_context *mRender = nullptr;
  bool mGLReady = false;
  int mFramesDrawn = 0;
  std::atomic<bool> mUpdateQueued{false};
};
