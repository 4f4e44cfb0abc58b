#pragma once

#include <QSpinBox>

namespace rowsmith::gui {

// The number of sample rows. Its range (0 to 1000) is applied when the box
// loses focus and by its arrows, not while the user types: a number typed
// and saved at once is kept as typed.
//
// Threading: UI thread only.
class RowsSpinBox : public QSpinBox {
  Q_OBJECT

 public:
  static constexpr int kMinimum = 0;
  static constexpr int kMaximum = 1000;

  explicit RowsSpinBox(QWidget* parent = nullptr);

  // The value held to the range, for display.
  void setClampedValue(int value);
  // The text read as a whole number, or 0 when it is not one.
  int typedValue() const;

  void stepBy(int steps) override;

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  StepEnabled stepEnabled() const override;
};

}  // namespace rowsmith::gui
