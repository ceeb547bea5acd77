#include "melPlaybackBench.h"

#include "melCatalogListView.h"
#include "melLogging.h"
#include "melMain.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QTest>
#include <QTimer>

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

QString tBenchHomeC::Prepare(const tClipSpecC &aClip) {
  if (!mHome.isValid())
    return QStringLiteral("no temporary folder");
  qputenv("MELODRA_HOME", QFile::encodeName(mHome.path()));
  if (QString error = MakeTestClip(Clip(), aClip); !error.isEmpty())
    return error;
  QFile catalog(mHome.filePath(QStringLiteral("Catalog.xml")));
  if (!catalog.open(QIODevice::WriteOnly))
    return catalog.errorString();
  catalog.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
                "<Category name=\"A\"><Category name=\"B\"><Category name=\"C\">"
                "<File name=\"Clip\"><Filename>clip.mp4</Filename><FileType>Movie</FileType>"
                "</File></Category></Category></Category></Catalog>");
  catalog.close();
  OpenLog();
  mApplication = DefaultApplication();
  SetCurrentApplication(mApplication.get());
  return {};
}

tBenchHomeC::~tBenchHomeC() {
  if (mApplication) {
    SetCurrentApplication(nullptr);
    CloseLog();
  }
}

namespace {
void *GetProcAddress(void *, const char *aName) {
  QOpenGLContext *context = QOpenGLContext::currentContext();
  return context ? reinterpret_cast<void *>(context->getProcAddress(aName)) : nullptr;
}
} // namespace

tBarePlayerC::~tBarePlayerC() {
  makeCurrent();
  if (mRender)
    mpv_render_context_free(mRender);
  doneCurrent();
  if (mMpv)
    mpv_terminate_destroy(mMpv);
}

bool tBarePlayerC::Start(bool aHeadless) {
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
  if (aHeadless) {
    mpv_set_option_string(mMpv, "vo", "null");
    mpv_set_option_string(mMpv, "ao", "null");
  }
  return mpv_initialize(mMpv) >= 0;
}

double tBarePlayerC::Time() const {
  double seconds = 0;
  mpv_get_property(mMpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds);
  return seconds;
}

void tBarePlayerC::Load(const QString &aPath) {
  const QByteArray path = aPath.toUtf8();
  const char *args[] = {"loadfile", path.constData(), "replace", nullptr};
  mpv_command(mMpv, args);
}

void tBarePlayerC::Unload() {
  const char *args[] = {"stop", nullptr};
  mpv_command(mMpv, args);
}

void tBarePlayerC::initializeGL() {
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

void tBarePlayerC::paintGL() {
  if (!mRender)
    return;
  const bool frame = mpv_render_context_update(mRender) & MPV_RENDER_UPDATE_FRAME;
  mpv_opengl_fbo fbo{int(defaultFramebufferObject()), width(), height(), 0};
  int flipY = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  mpv_render_context_render(mRender, params);
  ++mRenders;
  if (frame)
    ++mFramesDrawn;
}

QImage tBarePlayerC::Grab() {
  if (!mRender)
    return {};
  makeCurrent();
  QImage image;
  {
    QOpenGLFramebufferObject target(size());
    mpv_opengl_fbo fbo{int(target.handle()), target.width(), target.height(), 0};
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(mRender, params);
    image = target.toImage();
  }
  doneCurrent();
  return image;
}

bool ShowWithEpisodeListed(TMain &aWindow) {
  aWindow.show();
  if (!QTest::qWaitForWindowExposed(&aWindow))
    return false;
  RunFor(300);
  aWindow.CategoryColumn(0)->SelectRow(1); // the category, down to its episode
  aWindow.findChild<TCatalogListView *>(QStringLiteral("fContentLv"))->SelectRow(-1);
  RunFor(200);
  return true;
}

void DoubleClickEpisode(TMain &aWindow) {
  auto *list = aWindow.findChild<TCatalogListView *>(QStringLiteral("fContentLv"));
  list->SelectRow(0);
  emit list->itemDoubleClicked(list->topLevelItem(0), 0);
}

bool RunUntil(const std::function<bool()> &aDone, int aTimeoutMs) {
  QDeadlineTimer deadline(aTimeoutMs);
  QTimer tick; // wakes the loop to look at the deadline
  tick.start(50);
  while (!aDone()) {
    if (deadline.hasExpired())
      return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

void RunFor(int aMs) {
  QEventLoop loop;
  QTimer::singleShot(aMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

bool ShowsPicture(const QImage &aImage) {
  const QImage image = aImage.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7)
      if (qGray(image.pixel(x, y)) > 40)
        return true;
  return false;
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues.empty() ? 0 : aValues[aValues.size() / 2];
}

void UseOneSoundOutput() {
  if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER"))
    qputenv("SDL_AUDIODRIVER", "dummy");
}

int RunPlaybackBench(int aArgc, char **aArgv, const tClipSpecC &aClip,
                     const std::function<int(const tBenchHomeC &)> &aBody) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(aArgc, aArgv);
  std::setlocale(LC_NUMERIC, "C");
  tBenchHomeC home;
  if (const QString error = home.Prepare(aClip); !error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  return aBody(home);
}
