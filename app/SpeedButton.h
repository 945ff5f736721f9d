#pragma once
// A tool-bar button that also tells which mouse buttons were down when it was pressed: some commands
// act on the press, with the right button choosing another command than the left.

#include <QToolButton>

class TSpeedButton : public QToolButton {
  Q_OBJECT

public:
  using QToolButton::QToolButton;

signals:
  void MouseDown(Qt::MouseButtons Buttons);

protected:
  void mousePressEvent(QMouseEvent* Event) override;
};
