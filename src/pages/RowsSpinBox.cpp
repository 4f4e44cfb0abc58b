#include "pages/RowsSpinBox.h"

#include <QLineEdit>
#include <algorithm>
#include <limits>

namespace rowsmith::gui {

RowsSpinBox::RowsSpinBox(QWidget* parent) : QSpinBox(parent) {
  setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  setValue(kMaximum);
  setKeyboardTracking(true);
}

void RowsSpinBox::setClampedValue(int value) { setValue(std::clamp(value, kMinimum, kMaximum)); }

int RowsSpinBox::typedValue() const {
  bool ok = false;
  const int value = lineEdit()->text().trimmed().toInt(&ok);
  return ok ? value : 0;
}

void RowsSpinBox::stepBy(int steps) {
  setValue(std::clamp(typedValue() + steps, kMinimum, kMaximum));
}

void RowsSpinBox::focusOutEvent(QFocusEvent* event) {
  QSpinBox::focusOutEvent(event);
  setClampedValue(typedValue());
}

QAbstractSpinBox::StepEnabled RowsSpinBox::stepEnabled() const {
  const int value = typedValue();
  StepEnabled enabled = StepNone;
  if (value < kMaximum) enabled |= StepUpEnabled;
  if (value > kMinimum) enabled |= StepDownEnabled;
  return enabled;
}

}  // namespace rowsmith::gui
