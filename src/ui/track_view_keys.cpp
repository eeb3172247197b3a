#include "ui/track_view_keys.h"

#include <functional>

#include <QKeySequence>
#include <QShortcut>

#include "ui/track_map.h"
#include "ui/track_view.h"

namespace pathmere {
namespace {

constexpr double kPanStep = 1.0 / 8.0;

void AddKey(TrackView& view, const QKeySequence& key, const std::function<void()>& action) {
  auto* shortcut = new QShortcut(key, &view);
  QObject::connect(shortcut, &QShortcut::activated, &view, action);
}

}  // namespace

void AddTrackViewKeys(TrackView& view) {
  AddKey(view, QKeySequence(Qt::Key_Escape), [&view] { view.close(); });
  AddKey(view, QKeySequence(Qt::CTRL | Qt::Key_W), [&view] { view.close(); });
  TrackMap& map = *view.map();
  // "=" is "+" without Shift on many keyboards; the keypad's keys too.
  for (QKeyCombination key : {QKeyCombination(Qt::Key_Plus), QKeyCombination(Qt::Key_Equal),
                              QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)}) {
    AddKey(view, QKeySequence(key), [&map] { map.ZoomSteps(1.0); });
  }
  for (QKeyCombination key :
       {QKeyCombination(Qt::Key_Minus), QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus)}) {
    AddKey(view, QKeySequence(key), [&map] { map.ZoomSteps(-1.0); });
  }
  // An arrow looks that way: the picture moves the other.
  AddKey(view, QKeySequence(Qt::Key_Left), [&map] { map.PanFraction(kPanStep, 0.0); });
  AddKey(view, QKeySequence(Qt::Key_Right), [&map] { map.PanFraction(-kPanStep, 0.0); });
  AddKey(view, QKeySequence(Qt::Key_Up), [&map] { map.PanFraction(0.0, kPanStep); });
  AddKey(view, QKeySequence(Qt::Key_Down), [&map] { map.PanFraction(0.0, -kPanStep); });
}

}  // namespace pathmere
