#include "ui/app_icon.h"

// The resources are compiled into a static library, whose initialiser the
// linker keeps only when something calls it.
static void InitPathmereResources() { Q_INIT_RESOURCE(pathmere); }

namespace pathmere {

void LoadResources() {
  static const bool loaded = (InitPathmereResources(), true);
  (void)loaded;
}

QIcon AppIcon() {
  LoadResources();
  QIcon icon;
  for (const char* file : {":/icons/pathmere-32.png", ":/icons/pathmere-64.png", ":/icons/pathmere-256.png"}) {
    icon.addFile(QString::fromLatin1(file));
  }
  return icon;
}

}  // namespace pathmere
