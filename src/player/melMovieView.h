#pragma once

#include <QImage>
#include <QWidget>

#include <memory>

class tMovieEngineC;
class tMovieSurfaceC;

// What a view draws the engine's picture with (its GL context and the
// engine's render context), set aside while the view is made anew, so the
// engine plays on undisturbed. Dropped unused, it frees the render context.
class tMovieDrawingC {
public:
  tMovieDrawingC();
  ~tMovieDrawingC();
  tMovieDrawingC(tMovieDrawingC &&) noexcept;
  tMovieDrawingC &operator=(tMovieDrawingC &&) noexcept;

private:
  friend class tMovieSurfaceC;
  struct tPartsC;
  std::unique_ptr<tPartsC> mParts;
};

// Draws an engine's picture with its OpenGL render API, and nothing else.
// The picture goes straight to a native window of its own, so a frame costs
// the engine's drawing and one swap of the picture's size: the rest of the
// main window is not recomposed for it. The render context is made with the
// engine's handle (the first movie need not wait for it) and lives as long as
// the handle; without one (no OpenGL) the engine draws to its null output.
class TMovieView : public QWidget {
  Q_OBJECT
public:
  explicit TMovieView(QWidget *aParent = nullptr);
  ~TMovieView() override;

  // nullptr detaches; the render context is freed first.
  void SetEngine(tMovieEngineC *aEngine);
  // Hands the drawing over (the view then draws nothing), and takes one.
  tMovieDrawingC TakeDrawing();
  void GiveDrawing(tMovieDrawingC &&aDrawing);
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
