#pragma once

#include <QImage>
#include <QWidget>

class tMovieEngineC;
class tMovieSurfaceC;

// Draws an engine's picture with its OpenGL render API, and nothing else.
// The picture goes straight to a native window of its own, so a frame costs
// the engine's drawing and one swap of the picture's size: the rest of the
// main window is not recomposed for it. The render context lives exactly as
// long as both the engine's handle and the window's GL context; while it is
// missing, the engine draws to its null output, so a movie can load before
// the view was ever shown and gets its picture once it is.
class TMovieView : public QWidget {
  Q_OBJECT
public:
  explicit TMovieView(QWidget *aParent = nullptr);
  ~TMovieView() override;

  // nullptr detaches; the render context is freed first.
  void SetEngine(tMovieEngineC *aEngine);
  bool Drawing() const;
  // Frames handed to the engine for drawing, for diagnostics.
  int FramesDrawn() const;
  // What the view shows now.
  QImage grabFramebuffer();

signals:
  // A render context was created, the engine now draws here.
  void DrawingStarted();

private:
  tMovieSurfaceC *mSurface = nullptr;
};
