// The web engine as a module of its own: the program loads it with the
// store's first page, so a run that never opens the store maps none of it.
#include "melWebEngineBrowser.h"

extern "C" Q_DECL_EXPORT TWebBrowser *MelodraCreateWebBrowser(QWidget *aParent,
                                                              const tWebBrowserOptionsC &aOptions) {
  return CreateWebEngineBrowser(aParent, aOptions);
}
